#include <gtest/gtest.h>

#include "framework/controls/extctrls.h"
#include "framework/testing/gui_test.h"
#include "framework/win/com_object.h"

namespace {

class ComObjects : public TGuiTest {
 protected:
  void SetUp() override {
    TGuiTest::SetUp();
    ole_ = SUCCEEDED(OleInitialize(nullptr));
  }
  void TearDown() override {
    if (ole_) OleUninitialize();
    TGuiTest::TearDown();
  }
  bool ole_ = false;
};

// A drop target whose methods fail as asked; it notes its own end.
class TTestTarget : public TComObject<IDropTarget> {
 public:
  explicit TTestTarget(bool& gone) : gone_(gone) {}
  int failure = 0;  // 0 none, 1 an Exception, 2 an EOleError, 3 something else
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    return ComGuard([&] {
      if (failure == 1) throw Exception("Enter failed");
      if (failure == 2) throw EOleError("Access denied", E_ACCESSDENIED);
      if (failure == 3) throw 42;
      *effect = DROPEFFECT_COPY;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }

 protected:
  ~TTestTarget() override { gone_ = true; }

 private:
  bool& gone_;
};

TEST_F(ComObjects, CountReferencesAnswerTheirInterfacesAndFirewallEveryMethod) {
  bool gone = false;
  auto* t = new TTestTarget(gone);
  void* out = nullptr;
  EXPECT_EQ(t->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(out, static_cast<IUnknown*>(t));
  EXPECT_EQ(t->QueryInterface(__uuidof(IDropTarget), &out), S_OK);
  EXPECT_EQ(out, static_cast<IDropTarget*>(t));
  EXPECT_EQ(t->QueryInterface(__uuidof(IDataObject), &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(t->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(t->RefCount(), 3u);

  struct Case {
    int failure;
    HRESULT result;
    const char* box;   // what the user sees
    const char* seen;  // what the handler got
  };
  for (const Case& c : {Case{1, E_UNEXPECTED, "Enter failed", "Enter failed"},
                        Case{2, E_ACCESSDENIED, "Access denied", "Access denied"},
                        Case{3, E_UNEXPECTED, "Unknown exception", "(not a std::exception)"},
                        Case{0, S_OK, nullptr, nullptr}}) {
    SCOPED_TRACE(c.failure);
    if (c.box) Boxes.Expect(c.box, IDOK);
    t->failure = c.failure;
    DWORD effect = 0;
    EXPECT_EQ(t->DragEnter(nullptr, 0, POINTL{0, 0}, &effect), c.result);
    EXPECT_EQ(Exceptions.Take(), c.seen ? std::vector<std::string>{c.seen} : std::vector<std::string>{});
  }
  t->Release();
  t->Release();
  EXPECT_FALSE(gone);
  EXPECT_EQ(t->Release(), 0u);
  EXPECT_TRUE(gone);
}

TEST_F(ComObjects, ADropTargetGoesWithItsWindow) {
  ASSERT_TRUE(ole_);
  auto* f = new TForm(Application);
  Track(f);
  auto* panel = new TPanel(f);
  panel->SetParent(f);
  bool gone = false;
  TComPtr<TTestTarget> t(new TTestTarget(gone));
  ASSERT_EQ(panel->RegisterDropTarget(t.Get()), S_OK);
  EXPECT_TRUE(panel->DropTargetRegistered());
  ULONG held = t->RefCount();
  EXPECT_GT(held, 1u);  // the registration holds it
  EXPECT_EQ(panel->RegisterDropTarget(t.Get()), S_OK);  // again: the old one is revoked first
  EXPECT_EQ(t->RefCount(), held);

  panel->RecreateWnd();  // the old window's WM_NCDESTROY revokes
  EXPECT_FALSE(panel->DropTargetRegistered());
  EXPECT_EQ(t->RefCount(), 1u);
  ASSERT_EQ(panel->RegisterDropTarget(t.Get()), S_OK);
  panel->RevokeDropTarget();
  EXPECT_EQ(t->RefCount(), 1u);
  ASSERT_EQ(panel->RegisterDropTarget(t.Get()), S_OK);
  f->Free();
  EXPECT_EQ(t->RefCount(), 1u);
  EXPECT_FALSE(gone);
}

}  // namespace
