// The Program Manager client's commands and item lists.
#include "setup_engine/program_manager.h"

#include "framework/core/sysutils.h"
#include "setup_engine/setup_routines.h"

namespace {

std::string Unquoted(std::string s) {
  if (!s.empty() && s.front() == '"') s.erase(0, 1);
  if (!s.empty() && s.back() == '"') s.pop_back();
  return s;
}

}  // namespace

const TClassInfo& TProgramManager::StaticClass() {
  static const TClassInfo info{"TProgramManager", &TComponent::StaticClass(), nullptr, {}};
  return info;
}

TProgramManager::TProgramManager(TComponent* owner, setup::IDdeTransport* transport)
    : TComponent(owner), transport_(transport ? transport : &setup::DefaultDdeTransport()) {}

TProgramManager::~TProgramManager() { Close(); }

setup::IDdeTransport* TProgramManager::SetTransport(setup::IDdeTransport* transport) {
  Close();
  setup::IDdeTransport* old = transport_;
  transport_ = transport ? transport : &setup::DefaultDdeTransport();
  return old;
}

void TProgramManager::Open() {
  if (connected_) return;
  if (!transport_->Connect("PROGMAN", "PROGMAN")) throw EAIPMCannotOpen();
  connected_ = true;
}

void TProgramManager::Close() {
  if (connected_) transport_->Disconnect();
  connected_ = false;
  group_.clear();
  items_.Clear();
}

void TProgramManager::CreateGroup(const std::string& name) {
  if (Trim(name).empty()) return;
  Open();
  if (!transport_->Execute("[CreateGroup(\"" + name + "\")]")) throw EAIPMCannotCreateGroup(name);
  SelectGroup(name);
  // Some servers give no item lists: the group made counts as selected, with no items.
  if (group_.empty()) group_ = name;
}

void TProgramManager::SelectGroup(const std::string& name) {
  Open();
  std::string text;
  items_.Clear();
  group_.clear();
  if (!transport_->Request(name, text) || text.empty()) return;
  items_.SetText(text);
  group_ = name;
}

void TProgramManager::GetGroups(TStrings& strings) {
  Open();
  std::string text;
  strings.Clear();
  if (transport_->Request("Groups", text)) strings.SetText(text);
}

int TProgramManager::ItemCount() const { return items_.Count() < 2 ? 0 : items_.Count() - 1; }

std::string TProgramManager::ItemField(int item, int field) const {
  if (item < 1 || item >= items_.Count()) return {};
  std::string f = setup::GetField(items_[item], field, ',');
  return field == 1 || field == 2 ? Unquoted(f) : f;
}

int TProgramManager::FindItem(const std::string& name) const {
  for (int i = 1; i <= ItemCount(); ++i)
    if (ItemField(i, 1) == name) return i;
  return -1;
}

void TProgramManager::ShowSelectedGroup() {
  if (group_.empty()) throw EAIPMCannotOpenGroup(group_);
  Open();
  if (!transport_->Execute("[ShowGroup(" + group_ + ",8)]")) throw EAIPMCannotOpenGroup(group_);
}

void TProgramManager::AddItem(const std::string& cmdLine, const std::string& name, const std::string& hotKey,
                              const std::string& defDir, int iconIndex, const std::string& iconPath) {
  ShowSelectedGroup();
  std::string command =
      "[AddItem(" + cmdLine + "," + name + "," + iconPath + "," + IntToStr(iconIndex) + ",,," + defDir + "," + hotKey + ")]";
  std::string group = group_;
  if (!transport_->Execute(command)) throw EAIPMCannotAddItem(group, name, command);
  SelectGroup(group);
  if (group_.empty()) group_ = group;
}

void TProgramManager::ReplaceItem(const std::string& name) {
  ShowSelectedGroup();
  std::string group = group_;
  if (!transport_->Execute("[ReplaceItem(\"" + name + "\")]")) throw EAIPMCannotReplaceItem(group, name);
  SelectGroup(group);
  if (group_.empty()) group_ = group;
}

namespace setup {

TProgramManager& ProgramManager() {
  static TOwned<TProgramManager> manager(new TProgramManager(nullptr));
  return *manager;
}

IDdeTransport* SetProgramManagerTransport(IDdeTransport* transport) { return ProgramManager().SetTransport(transport); }

}  // namespace setup
