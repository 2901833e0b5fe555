// The file list's parsing core on the host, under the sanitizers: a table of lists and what each
// loads, the design's edge cases and the lines it must refuse without reading past them.
#include "ansi_alnum.h"
#include "install/file_list_parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

struct Loaded {
    std::string source, dest;
    char location;
    bool operator==(const Loaded &other) const
    {
        return source == other.source && dest == other.dest && location == other.location;
    }
};

std::ostream &operator<<(std::ostream &out, const Loaded &entry)
{
    return out << '"' << entry.source << "\",\"" << entry.dest << "\"," << entry.location;
}

enum { WHOLE, CUT }; // the text is the whole file, or the file went on past it
enum { BAD, GOOD };  // what the parse reports

struct ParseCase {
    const char *name;
    std::string text; // the bytes read, at most 1000
    int cut;          // the file went on past them
    int ok;
    std::vector<Loaded> entries;
};

void PrintTo(const ParseCase &c, std::ostream *out)
{
    *out << c.name;
}

std::string Lines(int count, const char *format)
{
    std::string text;
    for (int i = 1; i <= count; ++i) {
        char line[64];
        snprintf(line, sizeof line, format, i, i);
        text += line;
    }
    return text;
}

std::vector<Loaded> Numbered(int count)
{
    std::vector<Loaded> entries;
    for (int i = 1; i <= count; ++i)
        entries.push_back({"F" + std::to_string(i), "f" + std::to_string(i), 'P'});
    return entries;
}

// A text of exactly 1000 bytes: the given head, padding comment lines, then the given tail.
std::string Fill1000(const std::string &head, const std::string &tail)
{
    std::string text = head;
    while (text.size() + tail.size() < 1000) {
        size_t room = 1000 - text.size() - tail.size();
        text += room > 1 ? std::string(";") + std::string(room > 60 ? 58 : room - 2, '-') + "\n"
                         : std::string("\n");
    }
    return text + tail;
}

std::vector<ParseCase> Cases()
{
    using S = std::string;
    return {
        {"comment between entries",
         "APP.EX_,app.exe,P\n; drivers\nVXD.38_,vxd.386,D\n\n#x\n.y\n SYS.DL_,sys.dll,S\n"
         "WIN.IN_,win.ini,W\n",
         WHOLE,
         GOOD,
         {{"APP.EX_", "app.exe", 'P'}, {"VXD.38_", "vxd.386", 'D'}, {"WIN.IN_", "win.ini", 'W'}}},
        {"CRLF", "A,B,P\r\nC,D,S\r\n", WHOLE, GOOD, {{"A", "B", 'P'}, {"C", "D", 'S'}}},
        {"lower-case letter", "A,B,p\r\n", WHOLE, BAD, {}},
        {"bad letter on the second line", "A,B,P\nA,B,X\nC,D,P\n", WHOLE, BAD, {{"A", "B", 'P'}}},
        {"empty", "", WHOLE, GOOD, {}},
        {"spaces kept",
         "User Guide.pd_,User Guide.pdf,P\n",
         WHOLE,
         GOOD,
         {{"User Guide.pd_", "User Guide.pdf", 'P'}}},
        {"subfolders",
         "Data\\M.CF_,Data\\m.cfg,P\n",
         WHOLE,
         GOOD,
         {{"Data\\M.CF_", "Data\\m.cfg", 'P'}}},
        {"rest of the line ignored",
         "A,B,S,junk\nC,D,Whatever\n",
         WHOLE,
         GOOD,
         {{"A", "B", 'S'}, {"C", "D", 'W'}}},
        {"a third comma takes the letter's place", "A,B,C,P\n", WHOLE, BAD, {}},
        {"last line without a feed",
         "A,B,P\nC,D,W",
         WHOLE,
         GOOD,
         {{"A", "B", 'P'}, {"C", "D", 'W'}}},
        {"25 entries load 20", Lines(25, "F%d,f%d,P\n"), WHOLE, GOOD, Numbered(20)},
        {"lines after the 20th are not looked at", Lines(20, "F%d,f%d,P\n") + "bad line\n", WHOLE,
         GOOD, Numbered(20)},
        {"no comma", "A,B,P\nAPP.EXE app.exe P\n", WHOLE, BAD, {{"A", "B", 'P'}}},
        {"one comma", "APP.EXE,app.exe P\nC,D,P\n", WHOLE, BAD, {}},
        {"nothing after the second comma", "A,B,", WHOLE, BAD, {}},
        {"feed after the second comma", "A,B,\nP\n", WHOLE, BAD, {}},
        {"commas on the next line", "A\n,B,P\n", WHOLE, BAD, {}},
        {"zero byte at a line start ends the list",
         S("A,B,P\n\0C,D,Q\n", 13),
         WHOLE,
         GOOD,
         {{"A", "B", 'P'}}},
        {"zero byte at the start", S("\0A,B,P\n", 7), WHOLE, GOOD, {}},
        {"zero byte before the letter", S("A,B\0,P\n", 7), WHOLE, BAD, {}},
        {"zero byte in the source name", S("A\0,B,P\n", 7), WHOLE, BAD, {}},
        {"zero byte after the letter",
         S("A,B,P\0x\nC,D,S\n", 14),
         WHOLE,
         GOOD,
         {{"A", "B", 'P'}, {"C", "D", 'S'}}},
        {"high ANSI names",
         "Recette \xe9.rcp,Recettes\\Recette \xe9.rcp,P\n\xc9t\xe9.txt,\xe9t\xe9.txt,W\n",
         WHOLE,
         GOOD,
         {{"Recette \xe9.rcp", "Recettes\\Recette \xe9.rcp", 'P'},
          {"\xc9t\xe9.txt", "\xe9t\xe9.txt", 'W'}}},
        {"high ANSI punctuation starts a comment",
         "\xa7 A,B,X\nA,B,P\n",
         WHOLE,
         GOOD,
         {{"A", "B", 'P'}}},
        {"1000 bytes, not cut",
         Fill1000("A,B,P\n", "C,D,S"),
         WHOLE,
         GOOD,
         {{"A", "B", 'P'}, {"C", "D", 'S'}}},
        {"cut inside an entry line", Fill1000("A,B,P\n", "C,D,S"), CUT, BAD, {{"A", "B", 'P'}}},
        {"cut inside an entry line's names",
         Fill1000("A,B,P\n", "C,D"),
         CUT,
         BAD,
         {{"A", "B", 'P'}}},
        {"cut with the 1000th byte a feed",
         Fill1000("A,B,P\n", "C,D,S\n"),
         CUT,
         GOOD,
         {{"A", "B", 'P'}, {"C", "D", 'S'}}},
        {"cut inside a comment", Fill1000("A,B,P\n", "; comment"), CUT, GOOD, {{"A", "B", 'P'}}},
        {"cut after a full table", Fill1000(Lines(20, "F%d,f%d,P\n"), "G,g,X"), CUT, GOOD,
         Numbered(20)},
    };
}

class ParseListTextTest : public testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseListTextTest, LoadsWhatTheListHolds)
{
    const ParseCase &c = GetParam();
    ASSERT_LE(c.text.size(), 1000u);
    // Exactly the bytes read and the terminator's byte, so that the sanitizer sees any overrun.
    std::vector<char> buffer(c.text.size() + 1, 'x');
    std::copy(c.text.begin(), c.text.end(), buffer.begin());
    std::vector<ListEntry> entries(LIST_MAX_ENTRIES);
    int count = -1;

    int ok = ParseListText(buffer.data(), c.text.size(), c.cut, IsAnsiAlphaNumeric, entries.data(),
                           &count);

    EXPECT_EQ(ok, c.ok);
    ASSERT_GE(count, 0);
    std::vector<Loaded> loaded;
    for (int i = 0; i < count; ++i)
        loaded.push_back({entries[i].source, entries[i].dest, entries[i].location});
    EXPECT_EQ(loaded, c.entries);
}

INSTANTIATE_TEST_SUITE_P(Lists, ParseListTextTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<ParseCase> &info) {
                             std::string name;
                             for (const char *p = info.param.name; *p; ++p)
                                 name += isalnum((unsigned char)*p) ? *p : '_';
                             return name;
                         });

} // namespace
