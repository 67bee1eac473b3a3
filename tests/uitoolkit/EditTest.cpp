// The one-line entry: caret and selection moves, insertion replacing the
// selection, deletion, the limits on what enters, the clipboard keys, and
// what a read-only entry refuses.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "uitoolkit/Edit.h"
#include "uitoolkit/EditBuffer.h"

namespace {

struct EditCase {
  const char* what;
  const wchar_t* start;
  std::function<void(ui::EditBuffer&)> act;
  const wchar_t* text;
  std::size_t caret;
  std::size_t anchor;
};

const EditCase kCases[] = {
    {"typing at the end", L"/opt/Vornik", [](ui::EditBuffer& b) { b.Insert(L"/x"); },
     L"/opt/Vornik/x", 13, 13},
    {"typing replaces the selection", L"/opt/Vornik",
     [](ui::EditBuffer& b) {
       b.MoveTo(1, false);
       b.MoveTo(4, true);
       b.Insert(L"srv");
     },
     L"/srv/Vornik", 4, 4},
    {"backspace at the start does nothing", L"abc",
     [](ui::EditBuffer& b) {
       b.MoveTo(0, false);
       b.Backspace();
     },
     L"abc", 0, 0},
    {"delete takes the character after the caret", L"abc",
     [](ui::EditBuffer& b) {
       b.MoveTo(1, false);
       b.Delete();
     },
     L"ac", 1, 1},
    {"a word to the left stops at a path separator", L"/opt/Vornik Apps",
     [](ui::EditBuffer& b) { b.MoveLeft(true, true); }, L"/opt/Vornik Apps", 12, 16},
    {"two words to the left", L"/opt/Vornik Apps",
     [](ui::EditBuffer& b) {
       b.MoveLeft(false, true);
       b.MoveLeft(false, true);
     },
     L"/opt/Vornik Apps", 5, 5},
    {"moving without shift collapses a selection to its side", L"abcdef",
     [](ui::EditBuffer& b) {
       b.SelectAll();
       b.MoveLeft(false, false);
     },
     L"abcdef", 0, 0},
    {"double click selects the word", L"/opt/Vornik Apps",
     [](ui::EditBuffer& b) { b.SelectWordAt(7); }, L"/opt/Vornik Apps", 11, 5},
    {"a pasted line break or tab never enters", L"",
     [](ui::EditBuffer& b) { b.Insert(L"D:\\Tools\r\n\t"); }, L"D:\\Tools", 8, 8},
    {"a caret beyond the end is clamped", L"abc", [](ui::EditBuffer& b) { b.MoveTo(99, false); },
     L"abc", 3, 3},
    {"wide characters are single positions", L"日本語",
     [](ui::EditBuffer& b) {
       b.MoveTo(1, false);
       b.Delete();
     },
     L"日語", 1, 1},
};

class EditBufferTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditBufferTest, EditsAsExpected) {
  const EditCase& c = GetParam();
  ui::EditBuffer buffer;
  buffer.SetText(c.start);
  c.act(buffer);
  EXPECT_EQ(std::wstring(c.text), buffer.GetText()) << c.what;
  EXPECT_EQ(c.caret, buffer.GetCaret()) << c.what;
  EXPECT_EQ(c.anchor, buffer.GetAnchor()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, EditBufferTest, ::testing::ValuesIn(kCases));

TEST(EditBufferLimitTest, TextNeverGrowsBeyondTheLimit) {
  ui::EditBuffer buffer;
  buffer.SetText(std::wstring(ui::EditBuffer::kMaxLength + 10, L'a'));
  EXPECT_EQ(ui::EditBuffer::kMaxLength, buffer.GetText().size());
  EXPECT_FALSE(buffer.Insert(L"b"));
  buffer.MoveTo(0, false);
  buffer.MoveTo(2, true);
  EXPECT_TRUE(buffer.Insert(L"xyz"));  // two replaced: room for two
  EXPECT_EQ(ui::EditBuffer::kMaxLength, buffer.GetText().size());
  EXPECT_EQ(L"xya", buffer.GetText().substr(0, 3));
}

class FakeClipboard : public ui::Clipboard {
 public:
  std::wstring GetText() override { return text; }
  void SetText(const std::wstring& t) override { text = t; }
  std::wstring text;
};

ui::KeyEvent Control(ui::Key key) {
  ui::KeyEvent event;
  event.key = key;
  event.control = true;
  return event;
}

TEST(EditTest, ClipboardKeysCopyCutAndPaste) {
  ui::Edit edit;
  FakeClipboard clipboard;
  edit.SetText(L"/opt/Vornik");
  EXPECT_TRUE(edit.HandleKey(Control(ui::Key::A), &clipboard));
  EXPECT_TRUE(edit.HandleKey(Control(ui::Key::C), &clipboard));
  EXPECT_EQ(L"/opt/Vornik", clipboard.text);
  EXPECT_TRUE(edit.HandleKey(Control(ui::Key::X), &clipboard));
  EXPECT_EQ(L"", edit.GetText());
  clipboard.text = L"D:\\Apps\n";
  EXPECT_TRUE(edit.HandleKey(Control(ui::Key::V), &clipboard));
  EXPECT_EQ(L"D:\\Apps", edit.GetText());
  EXPECT_FALSE(edit.HandleKey(Control(ui::Key::V), nullptr));  // no clipboard, no paste
}

TEST(EditTest, ReadOnlyMovesAndCopiesButNeverChanges) {
  ui::Edit edit;
  ASSERT_TRUE(edit.SetAttribute(L"readonly", L"true"));
  FakeClipboard clipboard;
  clipboard.text = L"x";
  edit.SetText(L"fixed");
  EXPECT_TRUE(edit.HandleKey(Control(ui::Key::A), &clipboard));
  EXPECT_TRUE(edit.HandleKey(Control(ui::Key::X), &clipboard));
  EXPECT_FALSE(edit.InsertText(L"y"));
  edit.HandleKey(Control(ui::Key::V), &clipboard);
  ui::KeyEvent backspace;
  backspace.key = ui::Key::Backspace;
  edit.HandleKey(backspace, &clipboard);
  EXPECT_EQ(L"fixed", edit.GetText());
  EXPECT_EQ(L"fixed", clipboard.text);  // cut copied, but removed nothing
}

TEST(EditTest, CompositionShowsUntilCommitted) {
  ui::Edit edit;
  edit.SetText(L"C:");
  edit.SetFocused(true);
  edit.SetPreedit(L"にほん", 3);
  EXPECT_EQ(L"C:", edit.GetText());
  EXPECT_TRUE(edit.InsertText(L"日本"));
  edit.SetPreedit(L"", 0);
  EXPECT_EQ(L"C:日本", edit.GetText());
  edit.SetPreedit(L"ご", 1);
  edit.SetFocused(false);  // leaving drops what was being composed
  EXPECT_EQ(L"", edit.GetPreedit());
}

}  // namespace
