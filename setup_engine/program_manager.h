#pragma once
// The Program Manager client: program groups and their items through the "PROGMAN" DDE
// service, for systems whose shell has no link object, and the list of existing groups
// that the select-folder page offers.
//
// How it works: TProgramManager holds one conversation over a DDE transport
// (IDdeTransport: DDEML in the Windows build, none natively; tests put a recording one
// in). Every command is one executed string ("[CreateGroup(...)]", "[ShowGroup(...)]",
// "[AddItem(...)]", "[ReplaceItem(...)]"); after a command the selected group's item list
// is requested again. An item list is text: line 0 describes the group, each further line
// is an item whose ","-separated fields start with its quoted name and command line.
#include <memory>
#include <string>
#include <vector>

#include "framework/core/object.h"
#include "framework/core/strings.h"
#include "setup_engine/setup_exceptions.h"

namespace setup {

class IDdeTransport {
 public:
  virtual ~IDdeTransport() = default;
  virtual bool Connect(const std::string& service, const std::string& topic) = 0;
  virtual void Disconnect() = 0;
  // Executes one command string on the open conversation.
  virtual bool Execute(const std::string& command) = 0;
  // The text of a data item; false when the server gives none.
  virtual bool Request(const std::string& item, std::string& text) = 0;
};

// The build's own transport (DDEML in the Windows build; natively one that never connects).
IDdeTransport& DefaultDdeTransport();

}  // namespace setup

// Program Manager errors: the English message is translated before the names go in.
class EAIPMError : public EAI {
 public:
  EAIPMError() : EAIPMError("The TProgramManager object was unable to communicate with Program Manager", {}) {}
  EAIPMError(const std::string& format, const std::vector<TFormatArg>& args)
      : EAI(setup::TranslateText(format), args) {}
};
class EAIPMCannotOpen : public EAIPMError {
 public:
  EAIPMCannotOpen()
      : EAIPMError("The TProgramManager object was unable to establish a link with Program Manager", {}) {}
};
class EAIPMCannotOpenGroup : public EAIPMError {
 public:
  explicit EAIPMCannotOpenGroup(const std::string& group)
      : EAIPMError("Program Manager could not open the group %s", {group}), Group(group) {}
  std::string Group;
};
class EAIPMCannotCreateGroup : public EAIPMError {
 public:
  explicit EAIPMCannotCreateGroup(const std::string& group)
      : EAIPMError("Program Manager could not create the group %s", {group}), Group(group) {}
  std::string Group;
};
class EAIPMCannotAddItem : public EAIPMError {
 public:
  EAIPMCannotAddItem(const std::string& group, const std::string& item, const std::string& command)
      : EAIPMError("Program Manager could not add the item %s to the group %s. The command sent was %s",
                   {item, group, command}),
        Group(group), Item(item), Command(command) {}
  std::string Group, Item, Command;
};
class EAIPMCannotReplaceItem : public EAIPMError {
 public:
  EAIPMCannotReplaceItem(const std::string& group, const std::string& item)
      : EAIPMError("Program Manager could not replace the item %s in the group %s", {item, group}),
        Group(group), Item(item) {}
  std::string Group, Item;
};

class TProgramManager : public TComponent {
  FW_CLASS(TProgramManager, TComponent)

 public:
  // Over transport (the build's own when null), which must outlive the object.
  explicit TProgramManager(TComponent* owner, setup::IDdeTransport* transport = nullptr);

  // Closes the conversation and puts transport (the build's own when null) in place;
  // returns the one before.
  setup::IDdeTransport* SetTransport(setup::IDdeTransport* transport);
  bool Connected() const { return connected_; }
  // The selected group ("" when none) and its item list.
  const std::string& Group() const { return group_; }
  const TStringList& Items() const { return items_; }

  // Opens the conversation unless it is open; EAIPMCannotOpen.
  virtual void Open();
  void Close();
  // Nothing for a blank name; EAIPMCannotCreateGroup; then the group is selected (with no
  // items when its list cannot be had).
  void CreateGroup(const std::string& name);
  // Requests the group's item list; nothing is selected when the request gives nothing.
  void SelectGroup(const std::string& name);
  // The names of the existing groups.
  void GetGroups(TStrings& strings);
  int ItemCount() const;
  // Field (from 1) of item (from 1): the name and the command lose one enclosing quote.
  std::string ItemField(int item, int field) const;
  // The first item named exactly name; -1 when none.
  int FindItem(const std::string& name) const;
  // EAIPMCannotOpenGroup without a selected group or when the group cannot be shown;
  // EAIPMCannotAddItem.
  void AddItem(const std::string& cmdLine, const std::string& name, const std::string& hotKey,
               const std::string& defDir, int iconIndex, const std::string& iconPath);
  // EAIPMCannotOpenGroup as AddItem; EAIPMCannotReplaceItem.
  void ReplaceItem(const std::string& name);

 protected:
  ~TProgramManager() override;

 private:
  void ShowSelectedGroup();

  setup::IDdeTransport* transport_;
  bool connected_ = false;
  std::string group_;
  TStringList items_;
};

namespace setup {

// The process-wide client.
TProgramManager& ProgramManager();
// Puts transport (the build's own when null) under the process-wide client, closing its
// conversation; returns the one before.
IDdeTransport* SetProgramManagerTransport(IDdeTransport* transport);

}  // namespace setup
