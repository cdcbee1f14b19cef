#include "framework/file_finder.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

std::string Backslashed(std::string p) {
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

// A new test folder as a Windows path with backslashes.
std::string NewRoot(const char* name) {
    return Backslashed(MakeTestDir(name));
}

void MakeFile(const std::string& root, const std::string& rel) {
    ASSERT_TRUE(WriteFileBytes(root + "\\" + rel, rel)) << rel;
}

void MakeFolder(const std::string& root, const std::string& rel) {
    ASSERT_TRUE(CreateDirectoryA((root + "\\" + rel).c_str(), nullptr)) << rel;
}

// The files found, relative to the root, in the order listed.
std::vector<std::string> Found(const CFileFinder& f, const std::string& root) {
    std::vector<std::string> out;
    for (int i = 0; i < f.FileCount(); i++) {
        std::string p = f.File(i);
        EXPECT_EQ(p.compare(0, root.size() + 1, root + "\\"), 0) << p;
        out.push_back(p.substr(root.size() + 1));
    }
    return out;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

TEST(FileFinder, FindsMatchesAtEveryLevelOnce) {
    std::string root = NewRoot("finder_tree");
    MakeFolder(root, "sub1");
    MakeFolder(root, "sub1\\deep");
    MakeFolder(root, "sub2");
    MakeFile(root, "a.qcg");
    MakeFile(root, "b.ini");
    MakeFile(root, "c.txt");
    MakeFile(root, "sub1\\d.qcg");
    MakeFile(root, "sub1\\deep\\e.INI");
    MakeFile(root, "sub2\\f.qcg");
    MakeFile(root, "sub2\\g.bin");
    MakeFolder(root, "sub2\\folder.qcg");  // a folder never counts as a file
    const std::vector<std::string> expected = {"a.qcg", "b.ini", "sub1\\d.qcg", "sub1\\deep\\e.INI", "sub2\\f.qcg"};

    CFileFinder f(root.c_str(), "*.qcg;*.ini");
    EXPECT_EQ(f.FileCount(), 5);
    EXPECT_EQ(Sorted(Found(f, root)), expected);
    // Every folder walked once, the root first.
    ASSERT_EQ(f.FolderCount(), 5);
    EXPECT_EQ(std::string(f.Folder(0)), root);

    // A trailing ';' changes nothing; overlapping patterns list a file once.
    CFileFinder g;
    EXPECT_EQ(g.Search(root.c_str(), "*.qcg;*.ini;"), 5);
    EXPECT_EQ(Sorted(Found(g, root)), expected);
    EXPECT_EQ(g.Search(root.c_str(), "*.%s;a.*;*.QCG", "qcg"), 3);
    EXPECT_EQ(Sorted(Found(g, root)), (std::vector<std::string>{"a.qcg", "sub1\\d.qcg", "sub2\\f.qcg"}));
    // The patterns are matched in each folder, folder by folder.
    EXPECT_EQ(g.Search(root.c_str(), "%s", "*.*"), 7);
    std::vector<std::string> all = Found(g, root);
    EXPECT_EQ(std::count(all.begin(), all.end(), "c.txt"), 1);
    EXPECT_EQ(std::count(all.begin(), all.end(), "sub2\\g.bin"), 1);

    // A root given with a trailing backslash gives the same paths.
    EXPECT_EQ(g.Search((root + "\\").c_str(), "*.ini"), 2);
    EXPECT_EQ(Sorted(Found(g, root)), (std::vector<std::string>{"b.ini", "sub1\\deep\\e.INI"}));
}

TEST(FileFinder, RootsWithoutSubFoldersMissingOrEmpty) {
    std::string root = NewRoot("finder_flat");
    MakeFile(root, "one.qcg");
    MakeFile(root, "two.ini");
    CFileFinder f;
    EXPECT_EQ(f.Search(root.c_str(), "*.qcg"), 1);
    EXPECT_EQ(Found(f, root), (std::vector<std::string>{"one.qcg"}));
    EXPECT_EQ(f.FolderCount(), 1);
    EXPECT_EQ(f.Search((root + "\\missing").c_str(), "*.qcg"), 0);
    EXPECT_EQ(f.FileCount(), 0);
    EXPECT_EQ(f.Search("", "*.qcg"), -1);
    EXPECT_EQ(f.Search(root.c_str(), "%s", ""), 0);  // no patterns
    EXPECT_EQ(f.FileCount(), 0);
    EXPECT_EQ(f.Search(root.c_str(), ";"), 0);
    CFileFinder empty;
    EXPECT_EQ(empty.FileCount(), 0);
    EXPECT_EQ(empty.FolderCount(), 0);
    // A pattern list that doesn't fit its 2600 characters is refused whole.
    std::string many;
    while (many.size() < 2700)
        many += "*.qcg;";
    EXPECT_EQ(f.Search(root.c_str(), "%s", many.c_str()), -1);
    EXPECT_EQ(f.FileCount(), 0);
    many.resize(2598);
    many += "g";  // 2599 characters: the longest list that fits
    EXPECT_EQ(f.Search(root.c_str(), "%s", many.c_str()), 1);
}

TEST(FileFinder, ShortNameMatchesAreNotListed) {
    std::string root = NewRoot("finder_short");
    MakeFile(root, "a.qcg");
    MakeFile(root, "x.qcg_tmp");
    MakeFile(root, "y.qcgx");
    // The file system matches the short names: the fault the finder mends.
    std::vector<std::string> raw;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + "\\*.qcg").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do
        raw.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    EXPECT_NE(std::find(raw.begin(), raw.end(), "x.qcg_tmp"), raw.end()) << "FindFirstFile no longer matches 8.3 names";

    CFileFinder f(root.c_str(), "*.qcg");
    EXPECT_EQ(Found(f, root), (std::vector<std::string>{"a.qcg"}));
    EXPECT_EQ(f.Search(root.c_str(), "*.qcg_tmp;?.QCGX"), 2);
    EXPECT_EQ(Sorted(Found(f, root)), (std::vector<std::string>{"x.qcg_tmp", "y.qcgx"}));
}

TEST(FileFinder, NameMatching) {
    EXPECT_TRUE(CFileFinder::NameMatches("a.qcg", "*.qcg"));
    EXPECT_TRUE(CFileFinder::NameMatches("A.QCG", "*.qcg"));
    EXPECT_FALSE(CFileFinder::NameMatches("x.qcg_tmp", "*.qcg"));
    EXPECT_FALSE(CFileFinder::NameMatches("qcg", "*.qcg"));
    EXPECT_TRUE(CFileFinder::NameMatches("a.b.qcg", "*.qcg"));
    EXPECT_TRUE(CFileFinder::NameMatches("README", "*.*"));
    EXPECT_TRUE(CFileFinder::NameMatches("README", "*"));
    EXPECT_TRUE(CFileFinder::NameMatches("shot12.png", "shot??.*"));
    EXPECT_FALSE(CFileFinder::NameMatches("shot1.png", "shot??.*"));
    EXPECT_TRUE(CFileFinder::NameMatches("Options.qcg", "Opt*ons.q?g"));
    EXPECT_FALSE(CFileFinder::NameMatches("Options.qcg", "Opt*onz.q?g"));
    EXPECT_TRUE(CFileFinder::NameMatches("abcabd", "*abd"));
    EXPECT_TRUE(CFileFinder::NameMatches("readme", "readme.*"));
    EXPECT_FALSE(CFileFinder::NameMatches("", "?"));
}

TEST(FileFinder, SkipsPathsThatDoNotFitInsteadOfCuttingThem) {
    std::string root = NewRoot("finder_long");
    std::string unixRoot = UnixPathOf(root);
    // Folders whose paths pass 260 characters, made on the Linux side.
    size_t room = 240 - root.size();
    std::string fits = std::string(room, 'f');
    std::string deep = fits + "/" + std::string(60, 'g');
    ASSERT_EQ(RunPeer(root, "mkdir -p '" + deep + "' && touch '" + fits + "/ok.qcg' '" + deep + "/far.qcg' a.qcg"), 0);
    CFileFinder f;
    EXPECT_EQ(f.Search(root.c_str(), "*.qcg"), 2);
    std::vector<std::string> got = Sorted(Found(f, root));
    EXPECT_EQ(got, (std::vector<std::string>{"a.qcg", fits + "\\ok.qcg"}));
    for (int i = 0; i < f.FileCount(); i++)
        EXPECT_NE(GetFileAttributesA(f.File(i)), INVALID_FILE_ATTRIBUTES) << f.File(i);
    for (int i = 0; i < f.FolderCount(); i++)
        EXPECT_LT(strlen(f.Folder(i)), 260u);
}

TEST(FileFinder, LinkLoopsEndAndListEachFileOnce) {
    std::string root = NewRoot("finder_loop");
    MakeFolder(root, "sub");
    MakeFile(root, "sub\\a.qcg");
    // sub/back links to the root: a walk that follows it never ends by itself.
    ASSERT_EQ(RunPeer(root, "ln -s .. sub/back && ln -s sub again"), 0);
    CFileFinder f;
    int n = f.Search(root.c_str(), "*.qcg");
    EXPECT_EQ(n, 1);
    EXPECT_EQ(Found(f, root), (std::vector<std::string>{"sub\\a.qcg"}));
    EXPECT_LE(f.FolderCount(), 3);
}
