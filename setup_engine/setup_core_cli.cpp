#include "setup_engine/setup_core_cli.h"

#include <algorithm>
#include <functional>
#include <map>

#include "framework/core/data_module.h"
#include "framework/core/form_reader.h"
#include "framework/core/form_writer.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "setup_engine/install_object.h"
#include "setup_engine/register.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/translator.h"
#include "setup_engine/tree_probe.h"

namespace setup {
namespace {

using TArgs = std::vector<TFormatArg>;
using TMake = std::function<std::string(const std::string& format, const TArgs& args)>;

template <class E>
TMake Make() {
  return [](const std::string& format, const TArgs& args) {
    try {
      throw E(format, args);
    } catch (const Exception& e) {
      return e.Message();
    }
  };
}

const std::map<std::string, TMake>& ExceptionClasses() {
  static const std::map<std::string, TMake> classes{
      {"ECustomKestrinAbnormal", Make<ECustomKestrinAbnormal>()},
      {"EKestrinAbnormal", Make<EKestrinAbnormal>()},
      {"EAPIRoutines", Make<EAPIRoutines>()},
      {"IException", Make<IException>()},
      {"IEInstall", Make<IEInstall>()},
      {"IEInstallContainer", Make<IEInstallContainer>()},
      {"IEFileRelated", Make<IEFileRelated>()},
      {"IEFileContainer", Make<IEFileContainer>()},
      {"IEfcDuplicateFile", Make<IEfcDuplicateFile>()},
      {"IECustomInstallFile", Make<IECustomInstallFile>()},
      {"IECustomInstallFileList", Make<IECustomInstallFileList>()},
      {"IEPathSpecifier", Make<IEPathSpecifier>()},
      {"IEPathSpecifierList", Make<IEPathSpecifierList>()},
      {"IEInstallBDE", Make<IEInstallBDE>()},
      {"IEbdeCannotFindKestrinPath", Make<IEbdeCannotFindKestrinPath>()},
      {"IEObjectRepositoryEntry", Make<IEObjectRepositoryEntry>()},
      {"IEFileGroupSelectForm", Make<IEFileGroupSelectForm>()},
      {"EAI", Make<EAI>()},
      {"EAIUserAbort", Make<EAIUserAbort>()},
      {"EAICannotExpandContainerDirMV", Make<EAICannotExpandContainerDirMV>()},
      {"EAICannotExpandInstallDirMV", Make<EAICannotExpandInstallDirMV>()},
      {"EIRCannotWriteValue",
       [](const std::string& key, const TArgs& args) {
         if (args.empty()) return EIRCannotWriteValue(key).Message();
         return EIRCannotWriteValue(key, std::get<std::string>(args[0]), std::get<std::string>(args[1]))
             .Message();
       }},
  };
  return classes;
}

class TUsage {};

bool IdentOf(const TTypeInfo& type, const std::string& name, int& value) {
  for (size_t i = 0; i < type.Names.size(); ++i)
    if (SameText(type.Names[i], name)) {
      value = int(i);
      return true;
    }
  return false;
}

std::string ReadText(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  std::string text(size_t(f.Size()), '\0');
  if (!text.empty()) f.ReadBuffer(text.data(), int32_t(text.size()));
  return text;
}

void Parse(const std::string& fileName, std::ostream& out) {
  TLanguage language(nullptr, TKstnLanguage::klEnglish);
  language.Strings().LoadFromFile(fileName);
  std::vector<const TLanguageElement*> elements;
  for (const auto& s : language.ParsedStrings()) elements.push_back(s.get());
  for (const auto& m : language.Memos()) elements.push_back(m.get());
  std::sort(elements.begin(), elements.end(),
            [](const TLanguageElement* a, const TLanguageElement* b) { return a->Line() < b->Line(); });
  for (const TLanguageElement* e : elements) {
    if (auto* s = dynamic_cast<const TLanguageString*>(e)) {
      out << s->GLID() << '\t' << s->Text() << '\n';
      continue;
    }
    const TStringList& lines = static_cast<const TLanguageMemo*>(e)->Lines();
    out << '#' << e->GLID() << '\t' << lines.Count() << '\n';
    for (int i = 0; i < lines.Count(); ++i) out << '\t' << lines[i] << '\n';
  }
}

void PrintTree(TTreeProbe& probe, int depth, std::ostream& out) {
  out << std::string(size_t(depth) * 2, ' ') << probe.Name() << ' ' << probe.Kind() << '\n';
  for (TInstallObject* child : probe.Children())
    if (auto* p = dynamic_cast<TTreeProbe*>(child)) PrintTree(*p, depth + 1, out);
}

void Tree(const std::string& fileName, TInstallType type, std::ostream& out) {
  TOwned<TDataModule> root(new TDataModule(nullptr));
  ReadForm(*root, ReadText(fileName), fileName);
  std::vector<TTreeProbe*> roots;
  for (TComponent* c : root->Components()) {
    auto* p = dynamic_cast<TTreeProbe*>(c);
    if (!p) continue;
    auto line = [&out](const std::string& text) { out << text << '\n'; };
    p->Trace = line;
    p->OnBeforeProcess = TInstallContainerNotifyEvent([line, p](TObject*) { line("before " + p->Name()); });
    p->OnProcessIncluded = TInstallContainerNotifyEvent([line, p](TObject*) { line("included " + p->Name()); });
    p->OnAfterProcess = TInstallContainerNotifyEvent([line, p](TObject*) { line("after " + p->Name()); });
    if (!p->Container()) roots.push_back(p);
  }
  for (TTreeProbe* p : roots) PrintTree(*p, 0, out);
  for (TTreeProbe* p : roots) p->SetCurrentInstallType(type);
  for (TTreeProbe* p : roots) p->Process();
}

void Form(const std::string& fileName, std::ostream& out) {
  TOwned<TDataModule> root(new TDataModule(nullptr));
  ReadForm(*root, ReadText(fileName), fileName);
  TranslateForm(TKstnLanguage::klEnglish, root.get());
  out << WriteFormText(*root);
}

int Run(const std::vector<std::string>& a, std::ostream& out) {
  TOwned<TTranslator> translator(new TTranslator(nullptr));
  TInstallType type = TInstallType::itAlways;
  size_t i = 0;
  for (; i < a.size() && a[i].rfind("--", 0) == 0; i += 2) {
    if (i + 1 >= a.size()) throw TUsage();
    int value = 0;
    const std::string& v = a[i + 1];
    if (a[i] == "--lang") {
      size_t eq = v.find('=');
      if (eq == std::string::npos || !IdentOf(KstnLanguageTypeInfo(), v.substr(0, eq), value)) throw TUsage();
      TLanguage* language = translator->FindLanguage(TKstnLanguage(value));
      if (!language) throw TUsage();
      language->Strings().LoadFromFile(v.substr(eq + 1));
    } else if (a[i] == "--into") {
      if (!IdentOf(KstnLanguageTypeInfo(), v, value)) throw TUsage();
      translator->SetTranslateIntoLanguage(TKstnLanguage(value));
    } else if (a[i] == "--type") {
      if (!IdentOf(InstallTypeTypeInfo(), v, value)) throw TUsage();
      type = TInstallType(value);
    } else {
      throw TUsage();
    }
  }
  std::vector<std::string> rest(a.begin() + std::ptrdiff_t(i), a.end());
  if (rest.empty()) throw TUsage();
  const std::string& command = rest[0];
  if (command == "parse" && rest.size() == 2) {
    Parse(rest[1], out);
  } else if (command == "text" && rest.size() >= 2) {
    for (size_t t = 1; t < rest.size(); ++t) out << TranslateText(rest[t]) << '\n';
  } else if (command == "raise" && rest.size() >= 3) {
    auto it = ExceptionClasses().find(rest[1]);
    if (it == ExceptionClasses().end()) throw TUsage();
    TArgs args(rest.begin() + 3, rest.end());
    if (rest[1] == "EIRCannotWriteValue" && args.size() != 0 && args.size() != 2) throw TUsage();
    out << rest[1] << ": " << it->second(rest[2], args) << '\n';
  } else if (command == "form" && rest.size() == 2) {
    Form(rest[1], out);
  } else if (command == "tree" && rest.size() == 2) {
    Tree(rest[1], type, out);
  } else {
    throw TUsage();
  }
  return 0;
}

}  // namespace

void RegisterSetupCoreClasses() {
  RegisterSetupEngineClasses();
  RegisterClass(TTreeProbe::StaticClass());
}

int RunSetupCoreCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(args, out);
  } catch (const TUsage&) {
    err << "usage: setup_core_run [--lang LANGUAGE=FILE]... [--into LANGUAGE] [--type TYPE]"
           " parse FILE | text TEXT... | raise CLASS FORMAT [ARG...] | form FILE | tree FILE\n";
  } catch (const std::exception& e) {
    err << e.what() << '\n';
  }
  return 1;
}

}  // namespace setup
