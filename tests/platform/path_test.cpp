#include "platform/path.h"

#include <gtest/gtest.h>

namespace lexor {
namespace {

TEST(Path, ComponentsJoinAndNativeForm) {
  const struct {
    UString path, last, extension;
  } cases[] = {
      {u"", u"", u""},
      {u"///", u"/", u""},
      {u"/x//", u"x", u""},
      {u"a.b/c", u"c", u""},
      {u"trailing.", u"trailing.", u""},
      {u".dic", u".dic", u"dic"},
      {u"sub/Folder.DIC/", u"Folder.DIC", u"DIC"},
      {u"archive.tar.gz", u"archive.tar.gz", u"gz"},
      {u"\u8F9E\u66F8/\u00C0MBORA.dic", u"\u00C0MBORA.dic", u"dic"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.path));
    EXPECT_EQ(lastPathComponent(c.path), c.last);
    EXPECT_EQ(pathExtension(c.path), c.extension);
  }
  EXPECT_EQ(joinPath(u"/home/u", u"Library/Lexor"), u"/home/u/Library/Lexor");
  const UString path = u"/\u8F9E\u66F8/\u00C0MBORA.dic";
  EXPECT_EQ(toNativePath(path), "/\xE8\xBE\x9E\xE6\x9B\xB8/\xC3\x80MBORA.dic");
  EXPECT_EQ(fromNativePath(toNativePath(path)), path);
}

}  // namespace
}  // namespace lexor
