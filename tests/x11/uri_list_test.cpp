// Turning a dropped text/uri-list into local file paths; no display needed.
#include "gui/platform/x11/uri_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace gui::x11 {
namespace {

using Paths = std::vector<std::string>;

TEST(UriList, LocalFileUrisBecomeDecodedPaths) {
    EXPECT_EQ(filePathsFromUriList("file:///a/b%20c.wav\r\nfile://localhost/d\nfile:/e\r\n", 1024),
              (Paths{"/a/b c.wav", "/d", "/e"}));
}

TEST(UriList, CommentsOtherSchemesHostsAndBadEscapesAreSkipped) {
    EXPECT_EQ(filePathsFromUriList("# comment\r\n\r\nhttp://x/y\r\nfile://elsewhere.invalid/z\r\n"
                                   "file:///bad%2\r\nfile:///bad%zz\r\nfile:///nul%00x\r\n"
                                   "file:relative\r\nfile:///ok",
                                   1024),
              (Paths{"/ok"}));
}

TEST(UriList, PathsLongerThanTheBufferAreSkipped) {
    const std::string longPath = "/" + std::string(1022, 'a');
    EXPECT_EQ(filePathsFromUriList("file://" + longPath, 1024), (Paths{longPath}));
    EXPECT_TRUE(filePathsFromUriList("file://" + longPath + "b", 1024).empty());
}

TEST(UriList, OnlyALinkIsReplacedByItsTarget) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tesk_uri_links";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "file") << "x";
    std::filesystem::create_symlink(dir / "file", dir / "link");
    std::filesystem::create_symlink(dir / "missing", dir / "broken");
    EXPECT_EQ(resolveLink((dir / "link").string(), 1024), (dir / "file").string());
    EXPECT_EQ(resolveLink((dir / "file").string(), 1024), (dir / "file").string());
    EXPECT_EQ(resolveLink((dir / "broken").string(), 1024), (dir / "broken").string());
    EXPECT_EQ(resolveLink((dir / "link").string(), 4), (dir / "link").string());
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace gui::x11
