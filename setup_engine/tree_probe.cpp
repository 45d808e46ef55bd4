#include "setup_engine/tree_probe.h"

#include "framework/core/sysutils.h"

const TClassInfo& TTreeProbe::StaticClass() {
  using P = TProps<TTreeProbe>;
  static const TClassInfo info{
      "TTreeProbe", &TInstallObject::StaticClass(), Factory<TTreeProbe>(),
      {P::Int("Kind", &TTreeProbe::Kind, &TTreeProbe::SetKind).WithDefault(int64_t(0)),
       P::Str("Caption", [](const TTreeProbe& p) { return p.Caption; },
              [](TTreeProbe& p, std::string v) { p.Caption = std::move(v); })
           .WithDefault(std::string()),
       P::Str("Raise", [](const TTreeProbe& p) { return p.Raise; },
              [](TTreeProbe& p, std::string v) { p.Raise = std::move(v); })
           .WithDefault(std::string()),
       TInstallObject::ContainerProp(), TInstallContainer::IncludeProp(),
       TInstallContainer::InstallTypesProp(), TInstallContainer::OrderProp()}};
  return info;
}

TTreeProbe::TTreeProbe(TComponent* owner) : TInstallObject(owner) { SetAutoProcess(true); }

void TTreeProbe::SetKind(int kind) {
  kind_ = kind;
  SetAutoProcess(kind != setup::kKindDialog);
}

int TTreeProbe::ComponentType() const { return kind_ ? kind_ : TInstallObject::ComponentType(); }

void TTreeProbe::DoProcess() {
  if (Trace) Trace("process " + Name());
  if (Raise == "abort") throw EAbort();
  if (!Raise.empty()) throw IException(Raise);
  TInstallObject::DoProcess();
}

void TTreeProbe::DoInformationEvent(TObject*, int code, TObject*) {
  if (Trace) Trace(Name() + " got " + IntToStr(code));
}
