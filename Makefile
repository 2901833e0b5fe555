# Zelnar Installer: set-up, build, demo and tests. Each target installs what is missing first.
.PHONY: deps demo test dist bench fuzz clean

deps:
	@scripts/install-deps.sh

build/x86_64/build.ninja: | deps
	cmake --preset x86_64 >/dev/null

build/i686/build.ninja: | deps
	cmake --preset i686 >/dev/null

# Builds the 64-bit installer and runs it on the sample distribution under Wine.
demo: deps build/x86_64/build.ninja
	cmake --build --preset x86_64 --target distribution e2e_driver
	scripts/demo.sh build/x86_64/dist

# Builds both targets and runs every test under Wine.
test: deps build/x86_64/build.ninja build/i686/build.ninja
	cmake --build --preset x86_64
	cmake --build --preset i686
	ctest --preset x86_64 -j4

# The release: a 32-bit statically linked setup.exe with the sample contents, in build/i686/dist.
dist: deps build/i686/build.ninja
	cmake --build --preset i686 --target distribution
	@echo "release distribution: build/i686/dist"

# Measures start-up, installation, weight and memory against references run here and now, and
# prints the table. Not a test: nothing fails on a time. Takes a few minutes.
bench: deps build/x86_64/build.ninja build/i686/build.ninja
	cmake --build --preset x86_64 --target setup bench_launch minimal minimal_dial copy_floor
	cmake --build --preset i686 --target setup minimal
	python3 bench/bench.py

# Fuzzes the file list's parsing core natively under the sanitizers for FUZZ_SECONDS (not in CI).
FUZZ_SECONDS ?= 300
fuzz: deps
	scripts/host-fuzz.sh fuzz $(FUZZ_SECONDS)

clean:
	-scripts/wine-run.sh --stop
	rm -rf build
