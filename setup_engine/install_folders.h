#pragma once
// Path specifiers: named symbolic folders (program files, the Start Menu, the system folder,
// a container's destination, the install source ...) that install objects build their
// paths from: an object's full path is its specifier's path followed by its own relative
// part. Shortcut texts name the same folders by letters, the meta variables.
//
// How it works: every specifier joins one process-wide list while it lives; the fourteen
// built-in classes (TStandardPathSpecifier) also join the standard list, where FindStandard
// finds the shared instance of a class. An install container made on a form or data module
// makes the ones its owner lacks (RegisterStandardSpecifiers), named after their class
// without the "T" (psProgramFiles ...), so a definition names them without listing them.
// The folders come from the shell's registry entries, with the system's folders as
// defaults (ISystemFolders); a specifier that can only serve some objects (a container's
// destination needs a Container) checks the object first.
#include <string>
#include <vector>

#include "framework/core/events.h"
#include "framework/core/object.h"

class TInstallContainer;

// (the object asking, var Path)
using TGetPathEvent = TEvent<void(TObject* Sender, std::string& Path)>;

class TCustomPathSpecifier : public TComponent {
  FW_CLASS(TCustomPathSpecifier, TComponent)

 public:
  explicit TCustomPathSpecifier(TComponent* owner);
  TGetPathEvent OnGetPath;
  // The name shown for the specifier: a standard one's default component name.
  virtual std::string DisplayName() const { return Name(); }
  // Throws IEPathSpecifier when obj cannot use this specifier; nothing here.
  virtual void CheckObject(TInstallContainer*) {}
  // "Unspecified" here.
  virtual std::string GetDescription() const;
  // The folder for obj, without a trailing backslash: here what OnGetPath makes of an
  // empty path.
  virtual std::string GetPath(TInstallContainer* obj);

 protected:
  ~TCustomPathSpecifier() override = default;
  // Leaves the lists before anything of the object goes.
  void BeforeDestruction() override;
};

// A specifier of the definition's own: its path is what OnGetPath gives.
class TPathSpecifier : public TCustomPathSpecifier {
  FW_CLASS(TPathSpecifier, TCustomPathSpecifier)

 public:
  explicit TPathSpecifier(TComponent* owner) : TCustomPathSpecifier(owner) {}
  std::string Description = "My cool new path specifier";
  std::string GetDescription() const override { return Description; }
};

class TStandardPathSpecifier : public TCustomPathSpecifier {
  FW_CLASS(TStandardPathSpecifier, TCustomPathSpecifier)

 public:
  explicit TStandardPathSpecifier(TComponent* owner);
  // The class name without its "T".
  std::string DisplayName() const override;
};

#define SETUP_STANDARD_SPECIFIER(Name)                                    \
  class Name : public TStandardPathSpecifier {                            \
    FW_CLASS(Name, TStandardPathSpecifier)                                \
                                                                          \
   public:                                                                \
    explicit Name(TComponent* owner) : TStandardPathSpecifier(owner) {}   \
    std::string GetDescription() const override;                          \
    std::string GetPath(TInstallContainer* obj) override;                 \
    void CheckObject(TInstallContainer* obj) override;                    \
  };

// The first ";"-separated entry of the database engine's DLLPath, else its folder under
// the common files of program files.
SETUP_STANDARD_SPECIFIER(TpsBDEDLL)
SETUP_STANDARD_SPECIFIER(TpsCommonFiles)
// The full archive path of the object's Container, which must be file-related.
SETUP_STANDARD_SPECIFIER(TpsContainerArchiveFile)
// The full destination of the object's Container.
SETUP_STANDARD_SPECIFIER(TpsContainerDestDir)
SETUP_STANDARD_SPECIFIER(TpsDesktopMenu)
// The driver's source folder.
SETUP_STANDARD_SPECIFIER(TpsInstallSource)
// The driver's full destination; not for the driver itself.
SETUP_STANDARD_SPECIFIER(TpsMainInstall)
SETUP_STANDARD_SPECIFIER(TpsProgramFiles)
SETUP_STANDARD_SPECIFIER(TpsProgramMenu)
SETUP_STANDARD_SPECIFIER(TpsStartMenu)
SETUP_STANDARD_SPECIFIER(TpsStartupMenu)
SETUP_STANDARD_SPECIFIER(TpsSystem)
// The main archive: the -e program in the source folder, else "files.1" there.
SETUP_STANDARD_SPECIFIER(TpsMainArchiveFile)
SETUP_STANDARD_SPECIFIER(TpsWindow)

#undef SETUP_STANDARD_SPECIFIER

namespace setup {

// The fourteen standard classes in their table order.
const std::vector<const TClassInfo*>& StandardSpecifierClasses();
// The first standard specifier of exactly that class; null when none exists.
TCustomPathSpecifier* FindStandard(const TClassInfo& cls);
template <class T>
T* FindStandard() {
  return static_cast<T*>(FindStandard(T::StaticClass()));
}
// Makes, owned by owner, one specifier of each standard class (only of those that have
// none yet when onlyMissing), named after the class without its "T".
void RegisterStandardSpecifiers(TComponent* owner, bool onlyMissing);
// Whether a component is a form or a data module (by its class or an ancestor).
bool IsFormOrDataModule(const TComponent* c);

// The shell's folders, each without a trailing backslash. The registry's entry when it
// is there and not blank, else the default.
std::string StartMenuFolder();    // <Windows>\Start Menu
std::string ProgramsFolder();     // <Start Menu>\Programs
std::string DesktopFolder();      // <Windows>\Desktop
std::string StartupFolder();      // <Windows>\Startup
std::string ProgramFilesFolder(); // <drive of the current folder>\Program Files
std::string CommonFilesFolder();  // <drive of the current folder>\Program Files\Common Files

// Expands the meta variables of a shortcut text for obj: "%%" is "%"; %a obj's full
// destination, %b Programs, %c obj's Container's full destination, %d Desktop, %f common
// files, %i the driver's full destination, %m Start Menu, %p program files, %s the
// system folder, %w the Windows folder (letters in either case); "%" with any other
// letter, or at the end, is dropped. EAICannotExpandContainerDirMV or
// EAICannotExpandInstallDirMV when %a, %c or %i cannot be had.
std::string ExpandMetaVariables(const std::string& text, TInstallContainer* obj);
// The expansion of a user-defined specifier's text: %P and %p give path, %% a "%"; any
// other "%" stays as it is.
std::string ExpandPathVariable(const std::string& text, const std::string& path);

}  // namespace setup
