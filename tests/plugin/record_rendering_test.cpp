// The three forms of a record for the page, from records with every mix of fields.
#include <gtest/gtest.h>

#include "plugin/lexor_peek.h"

namespace lexor {
namespace {

Record record(std::optional<const char*> eword, std::optional<const char*> pron,
              std::optional<int32_t> level, std::optional<const char*> jword,
              std::optional<const char*> example) {
  auto text = [](std::optional<const char*> s) -> std::optional<UString> {
    return s ? std::optional<UString>(fromUtf8(*s)) : std::nullopt;
  };
  return Record{text(eword), text(pron), level, text(jword), text(example)};
}

TEST(RecordRenderingTest, TextAndHtmlForms) {
  const std::nullopt_t none = std::nullopt;
  const struct {
    const char* what;
    Record record;
    const char* text;
    const char* html;
  } cases[] = {
      {"all fields", record("go", "gou", 2, "行く", "Let's go."), "go [gou]<br>行く<br>Let's go.",
       R"(<span class="m"><span class="f1">go</span> <span class="f2">[gou]</span></span>)"
       R"(<span class="f4">行く</span><br/><span class="f5">&loz; Let's go.</span>)"},
      {"only a head word", record("go", none, none, none, none), "go",
       R"(<span class="m"><span class="f1">go</span></span>)"},
      {"pronunciation without translation", record("go", "gou", none, none, none), "go [gou]",
       R"(<span class="m"><span class="f1">go</span> <span class="f2">[gou]</span></span>)"},
      {"example without translation", record("go", none, 1, none, "ex"), "go<br>ex",
       R"(<span class="m"><span class="f1">go</span></span><br/><span class="f5">&loz; ex</span>)"},
      {"empty translation is still present", record("go", none, none, "", none), "go<br>",
       R"(<span class="m"><span class="f1">go</span></span><span class="f4"></span>)"},
      {"markup and entities pass through", record("a<b>", "&amp;", none, "<i>x</i>\n\"y\"", "<br>"),
       "a<b> [&amp;]<br><i>x</i>\n\"y\"<br><br>",
       R"(<span class="m"><span class="f1">a<b></span> <span class="f2">[&amp;]</span></span>)"
       "<span class=\"f4\"><i>x</i>\n\"y\"</span><br/><span class=\"f5\">&loz; <br></span>"},
      {"no head word shows an empty one", record(none, none, none, "行く", none), "<br>行く",
       R"(<span class="m"><span class="f1"></span></span><span class="f4">行く</span>)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toUtf8(recordAsText(c.record)), c.text) << c.what;
    EXPECT_EQ(toUtf8(recordAsHTML(c.record)), c.html) << c.what;
  }
}

TEST(RecordRenderingTest, ListHasFiveValuesWithNullForEachAbsentOne) {
  const ScriptValue null{ScriptNull{}};
  EXPECT_EQ(recordAsList(record("go", std::nullopt, 3, "行く", std::nullopt)),
            (ScriptList{UString(u"go"), null, int32_t{3}, UString(u"行く"), null}));
  EXPECT_EQ(recordAsList(Record{}), (ScriptList{null, null, null, null, null}));
}

}  // namespace
}  // namespace lexor
