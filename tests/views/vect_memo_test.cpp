// Memo objects in the vector view: drawn through the memo editor, edited in
// place (F2 opens, Escape gives the text back), and the undo of whole
// snapshots.
#include <gtest/gtest.h>

#include "views/vect_fixture.h"

namespace {

class VectMemo : public VectTest {
 protected:
  Integer Memo(const std::string& S) {
    Load(300, 200);
    const Integer h = Add(lkkMEMO, {10, 10, 150, 80});
    v_->SetObjKind(h, lkkMEMO);
    v_->SetObjText(h, S);
    v_->SetObjFontHeight(h, -14);
    v_->SetObjPenColor(h, clBlack);
    return h;
  }
};

TEST_F(VectMemo, EditInPlaceAndGiveBack) {
  const Integer h = Memo("ab");
  Integer changed = 0, opened = 0;
  v_->OnVectorialChanged = [&](TObject*) { ++changed; };
  v_->OnActivateTextEdit = [&](TObject*) { ++opened; };
  v_->AddSelObject(h);
  Word key = VK_F1 + 1;  // F2
  v_->KeyDown(key, {});
  ASSERT_EQ(v_->GetObjTextEditMode(), h);
  EXPECT_EQ(opened, 1);
  TLKTextControl* e = v_->GetMemoEditor();
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->GetVisible());
  EXPECT_EQ(e->GetLeft(), 10);
  e->Rich.Caret = 2;
  char c = 'c';
  e->KeyPress(c);
  EXPECT_FALSE(e->TypeCodePoint(U'\u4E2D'));  // refused, nothing stored
  EXPECT_TRUE(e->TypeCodePoint(U'\u00E9'));
  key = VK_ESCAPE;
  e->KeyDown(key, {});  // the editor's Escape closes it
  EXPECT_EQ(v_->GetObjTextEditMode(), -1);
  EXPECT_FALSE(e->GetVisible());
  EXPECT_EQ(v_->GetObjText(h), "abc\xE9");
  EXPECT_GE(changed, 1);
  ASSERT_EQ(v_->GetObj(h)->MemoCharIndex.size(), 4u);
  // A text object is not editable: F2 leaves the view alone there too.
  v_->SetObjTextEditable(h, false);
  v_->SetObjTextEditMode(h);
  EXPECT_EQ(v_->GetObjTextEditMode(), -1);
}

TEST_F(VectMemo, FormattedStringBreaksLines) {
  const Integer h = Memo("alpha beta gamma delta epsilon zeta eta theta");
  const std::string f = v_->GetMemoFormattedString(h);
  EXPECT_GT(std::count(f.begin(), f.end(), '\n'), 1);
  std::string joined = f;
  std::replace(joined.begin(), joined.end(), '\n', ' ');
  EXPECT_EQ(joined.substr(0, 11), "alpha beta ");
}

TEST_F(VectMemo, UndoRestoresWholeSnapshots) {
  const Integer h = Memo("one");
  v_->ObjSaveUndo();
  v_->SetObjText(h, "two");
  v_->ObjUndo();
  EXPECT_EQ(v_->GetObjText(v_->GetObjectAt(0)), "one");
  v_->SetObjText(v_->GetObjectAt(0), "three");
  v_->ObjUndo();  // the snapshot stays: undo twice gives the same state
  EXPECT_EQ(v_->GetObjText(v_->GetObjectAt(0)), "one");
  EXPECT_EQ(v_->GetObjUndoCount(), 1);
  v_->SetObjUndoLimit(0);  // at least one snapshot is kept
  v_->ObjSaveUndo();
  EXPECT_EQ(v_->GetObjUndoCount(), 1);
  v_->ObjUndoAt(5);  // outside the list: nothing
  v_->ObjClearAllUndo();
  EXPECT_FALSE(v_->GetObjCanUndo());
}

}  // namespace
