#include "platform/path.h"

#include <gtest/gtest.h>

namespace lexor {
namespace {

TEST(Path, ComponentsAndNativeForm) {
  const struct {
    UString path, last, extension;
  } cases[] = {
      {u"///", u"/", u""},
      {u"/x//", u"x", u""},
      {u".dic", u".dic", u"dic"},
      {u"sub/Folder.DIC/", u"Folder.DIC", u"DIC"},
      {u"\u8F9E\u66F8/\u00C0MBORA.dic", u"\u00C0MBORA.dic", u"dic"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.path));
    EXPECT_EQ(lastPathComponent(c.path), c.last);
    EXPECT_EQ(pathExtension(c.path), c.extension);
  }
  EXPECT_EQ(toNativePath(u"/\u8F9E/\u00C0.dic"), "/\xE8\xBE\x9E/\xC3\x80.dic");
}

}  // namespace
}  // namespace lexor
