#pragma once
// Small component classes with one property of every kind; each logs what the reader does
// to it, so the tests can check the loading protocol's order.
#include <string>
#include <vector>

#include "framework/core/collection.h"
#include "framework/core/object.h"
#include "framework/core/strings.h"

std::vector<std::string>& Log();

enum class TShape { shCircle, shSquare, shTriangle };

class TTestFont : public TPersistent {
  FW_CLASS(TTestFont, TPersistent)
 public:
  std::string FaceName = "Arial";
  int Size = 8;
  uint32_t Style = 0;
};

class TTestEntry : public TCollectionItem {
  FW_CLASS(TTestEntry, TCollectionItem)
 public:
  std::string Ident;
  int Value = 0;
};

class TTestItem : public TComponent {
  FW_CLASS(TTestItem, TComponent)
 public:
  explicit TTestItem(TComponent* owner);
  ~TTestItem() override;

  std::string Caption;
  int Width = 10;
  int Color = 0;
  char Mark = '?';
  bool Checked = false;
  TShape Shape = TShape::shCircle;
  uint32_t Sides = 0;
  double Ratio = 1.0;
  std::vector<uint8_t> Data;
  TTestFont Font;
  TStringList Items;
  TCollection Entries{[] { return std::make_unique<TTestEntry>(); }};
  TLink<TTestItem> Buddy{this};
  TNotifyEvent OnClick;
  std::vector<TComponent*> Kids;

  void SetCaption(std::string c);
  void Loaded() override;
  void FormLoaded() override;
  void AdoptChild(TComponent& child) override;
  void GetChildren(const std::function<void(TComponent&)>& fn) const override;
};

// Holds no children.
class TTestLeaf : public TComponent {
  FW_CLASS(TTestLeaf, TComponent)
 public:
  using TComponent::TComponent;
};

class TTestForm : public TTestItem {
  FW_CLASS(TTestForm, TTestItem)
 public:
  explicit TTestForm(TComponent* owner) : TTestItem(owner) {}
  const TMethodTable* Methods() const override;

  TTestItem* Button1 = nullptr;
  int clicks = 0;
  void Button1Click(TObject* sender);
  void FormKey(TObject* sender, bool& flag);
};

void RegisterTestClasses();

// A form text of the corpus in forms/ (the round-trip and fuzz tests read every one).
std::string ReadCorpusFile(const std::string& name);
