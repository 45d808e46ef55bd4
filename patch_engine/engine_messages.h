#pragma once
// Every text the patch engine reports, as an English and German pair. The English text is
// the one shown; the German twin is chosen only when the language switch is on.
namespace engine {

struct EngineMessage {
  const char* english;
  const char* german;
};

namespace msg {
// Failures.
inline constexpr EngineMessage NameTooLong{
    "Error, Filenames longer than 255 characters not supported!",
    "Fehler, Dateinamen mit mehr als 255 Zeichen werden nicht unterstuetzt!"};
inline constexpr EngineMessage CannotWritePatchStream{
    "Error, cannot write data to temporary patchfile. Make sure you have sufficient disk space.",
    "Fehler, Daten koennen nicht in die temporaere Patchdatei geschrieben werden. Bitte pruefen "
    "Sie, ob genug Speicherplatz frei ist."};
inline constexpr EngineMessage CompressionInitFailed{
    "Error, internal compression failed to initialized. Out of memory situation suspected.",
    "Fehler, die interne Kompression konnte nicht initialisiert werden. Vermutlich ist kein "
    "Speicher mehr frei."};
inline constexpr EngineMessage AllocationFailed{
    "Error, can't allocate %d Bytes (%s)!\n",
    "Fehler, %d Bytes koennen nicht angefordert werden (%s)!\n"};
inline constexpr EngineMessage PackerUnknown{
    "Error, packer support for selected packer unknown on this platform. Please inform us, if "
    "this is wrong!",
    "Fehler, der gewaehlte Packer wird auf dieser Plattform nicht unterstuetzt. Bitte "
    "informieren Sie uns, falls das nicht stimmt!"};
inline constexpr EngineMessage NotADirectory{
    "Error, \"%s\" does not exist or is no directory.\nPlease note that Quiltor will only patch "
    "directories into directories\nor files into files, but you can't mix them.\n",
    "Fehler, \"%s\" existiert nicht oder ist kein Verzeichnis.\nBitte beachten Sie, dass Quiltor "
    "nur Verzeichnisse in Verzeichnisse\noder Dateien in Dateien patcht; mischen laesst sich "
    "beides nicht.\n"};
inline constexpr EngineMessage FileNotFound{
    "Error, can't find file \"%s\"!\n",
    "Fehler, Datei \"%s\" nicht gefunden!\n"};
inline constexpr EngineMessage CannotOpenPatchFile{
    "Error, can't open patchfile \"%s\" for writing!",
    "Fehler, Patchdatei \"%s\" kann nicht zum Schreiben geoeffnet werden!"};
inline constexpr EngineMessage CannotOpenTempPatchFile{
    "Error, can't open temporary patchfile for writing!",
    "Fehler, temporaere Patchdatei kann nicht zum Schreiben geoeffnet werden!"};
inline constexpr EngineMessage CannotWriteHeader{
    "Error, can't write header into patch file",
    "Fehler, der Kopf der Patchdatei kann nicht geschrieben werden"};
inline constexpr EngineMessage CannotWriteTrailer{
    "Error, can't write end-of-patch marker.",
    "Fehler, die Endemarke des Patches kann nicht geschrieben werden."};
inline constexpr EngineMessage CannotCreateTempFile{
    "Can't create necessary temporary file!",
    "Die benoetigte temporaere Datei kann nicht angelegt werden!"};
inline constexpr EngineMessage JoinFailed{
    "Internal filehandling failure?!",
    "Interner Fehler bei der Dateibehandlung?!"};
inline constexpr EngineMessage CannotAccessFile{
    "Couldn't access file \"%s\", internal file handling error?!",
    "Kein Zugriff auf Datei \"%s\", interner Fehler bei der Dateibehandlung?!"};
inline constexpr EngineMessage CannotCreateFile{
    "Couldn't create file \"%s\" for writing!",
    "Datei \"%s\" kann nicht zum Schreiben angelegt werden!"};
inline constexpr EngineMessage CannotAccessScannedFile{
    "Error, can't access file \"%s\" in directory being scanned!",
    "Fehler, kein Zugriff auf Datei \"%s\" im durchsuchten Verzeichnis!"};
inline constexpr EngineMessage CannotOpenEmbedFile{
    "Error, can't open file \"%s\" for embedding!",
    "Fehler, Datei \"%s\" kann zum Einbetten nicht geoeffnet werden!"};
inline constexpr EngineMessage CannotReadEmbedFile{
    "Error, can't read file to be embedded!",
    "Fehler, die einzubettende Datei kann nicht gelesen werden!"};
inline constexpr EngineMessage CannotWritePatchInfo{
    "Error, can't write patchinfo into patchfile!",
    "Fehler, die Patchinformationen koennen nicht in die Patchdatei geschrieben werden!"};
inline constexpr EngineMessage CannotReadPatchInfo{
    "Error reading temporarily saved patchinfo!",
    "Fehler beim Lesen der zwischengespeicherten Patchinformationen!"};
inline constexpr EngineMessage SelfTestFailed{
    "\nError, Thrune 2 self-test failed. Please contact author.\n",
    "\nFehler, der Selbsttest von Thrune 2 ist fehlgeschlagen. Bitte wenden Sie sich an den "
    "Autor.\n"};
inline constexpr EngineMessage CannotOpenSource{
    "\n\nError, can't open source file \"%s\" for reading!",
    "\n\nFehler, Quelldatei \"%s\" kann nicht zum Lesen geoeffnet werden!"};
inline constexpr EngineMessage CannotOpenDestination{
    "\n\nError, can't open destination file \"%s\" for writing!",
    "\n\nFehler, Zieldatei \"%s\" kann nicht zum Schreiben geoeffnet werden!"};
inline constexpr EngineMessage CannotReadFile{
    "\n\nError, can't read file \"%s\"!\n",
    "\n\nFehler, Datei \"%s\" kann nicht gelesen werden!\n"};
inline constexpr EngineMessage FileTooLarge{
    "\n\nError, file \"%s\" is too large: files of 2 GB (2147483648 Bytes) and more are not "
    "supported!",
    "\n\nFehler, Datei \"%s\" ist zu gross: Dateien ab 2 GB (2147483648 Bytes) werden nicht "
    "unterstuetzt!"};
inline constexpr EngineMessage BadVersionCount{
    "Error, a file record needs one to 19 source versions and a target (got %d versions)!",
    "Fehler, ein Dateieintrag braucht eine bis 19 Quellversionen und ein Ziel (%d Versionen "
    "erhalten)!"};
inline constexpr EngineMessage MissingStub{
    "Error, can't find \"%s\" in directory of the calling Fabrin, though it's required to build "
    "executeable patchfiles",
    "Fehler, \"%s\" fehlt im Verzeichnis des aufrufenden Programms, wird aber fuer "
    "ausfuehrbare Patchdateien gebraucht"};
inline constexpr EngineMessage NoMemoryForByteStream{
    "No memory for bytestream",
    "Kein Speicher fuer den Bytestrom"};
inline constexpr EngineMessage CannotOpenScannedDirectory{
    "Error, can't open directory \"%s\" being scanned!",
    "Fehler, das zu durchsuchende Verzeichnis \"%s\" kann nicht geoeffnet werden!"};
inline constexpr EngineMessage BadFileCount{
    "Error, %d file names given, but a patch needs 3 to 21: one to 19 older versions, the "
    "target and the patch file!",
    "Fehler, %d Dateinamen angegeben, ein Patch braucht aber 3 bis 21: eine bis 19 aeltere "
    "Versionen, das Ziel und die Patchdatei!"};
inline constexpr EngineMessage OutputIsInput{
    "Error, the patch file \"%s\" is one of the versions to be patched!",
    "Fehler, die Patchdatei \"%s\" ist eine der zu patchenden Versionen!"};
inline constexpr EngineMessage OutputInsideTree{
    "Error, the patch file \"%s\" lies inside the directory \"%s\" being patched!",
    "Fehler, die Patchdatei \"%s\" liegt im zu patchenden Verzeichnis \"%s\"!"};
inline constexpr EngineMessage RootInsideRoot{
    "Error, the directory \"%s\" lies inside the directory \"%s\"; the versions of a tree "
    "must not contain each other!",
    "Fehler, das Verzeichnis \"%s\" liegt im Verzeichnis \"%s\"; die Versionen eines "
    "Verzeichnisbaums duerfen einander nicht enthalten!"};
inline constexpr EngineMessage CannotReplaceOutput{
    "Error, can't replace \"%s\" with the new patch file!",
    "Fehler, \"%s\" kann nicht durch die neue Patchdatei ersetzt werden!"};
inline constexpr EngineMessage PackerNotStarted{
    "Error, can't start packer \"%s\"!",
    "Fehler, der Packer \"%s\" kann nicht gestartet werden!"};
inline constexpr EngineMessage PackerFailed{
    "Error, packer \"%s\" failed with exit code %d!",
    "Fehler, der Packer \"%s\" ist mit dem Rueckgabewert %d gescheitert!"};
inline constexpr EngineMessage ApplierUnknown{
    "Error, applier kind %d unknown!",
    "Fehler, Anwendertyp %d unbekannt!"};
inline constexpr EngineMessage NotARegularFile{
    "Error, \"%s\" is not a regular file (but a pipe, socket or device)!\n",
    "Fehler, \"%s\" ist keine regulaere Datei (sondern eine Pipe, ein Socket oder ein "
    "Geraet)!\n"};
inline constexpr EngineMessage BadOutputName{
    "Error, the patch file name \"%s\" contains %s, which file names must not contain!",
    "Fehler, der Name der Patchdatei \"%s\" enthaelt %s, das in Dateinamen nicht vorkommen "
    "darf!"};
inline constexpr EngineMessage NameNotStorable{
    "Error, the name of \"%s\" contains %s, which names in a patch must not contain!",
    "Fehler, der Name von \"%s\" enthaelt %s, das in Namen eines Patches nicht vorkommen "
    "darf!"};
inline constexpr EngineMessage CannotSetAside{
    "Error, can't move \"%s\" aside to keep it until the packer has succeeded!",
    "Fehler, \"%s\" kann nicht beiseitegelegt werden, um es bis zum Erfolg des Packers zu "
    "behalten!"};
inline constexpr EngineMessage Cancelled{
    "Patch creation cancelled.",
    "Patcherstellung abgebrochen."};

// Informational lines for the console hooks.
inline constexpr EngineMessage ExaminingPair{
    "Examining \"%s\" to \"%s\": ", "Untersuche \"%s\" nach \"%s\": "};
inline constexpr EngineMessage Examining{"Examining \"%s\": ", "Untersuche \"%s\": "};
inline constexpr EngineMessage FileIdentical{
    "File \"%s\" identical, skiped.", "Datei \"%s\" ist identisch, uebersprungen."};
inline constexpr EngineMessage SkippingNotRegular{
    "Skipping \"%s\": not a regular file (but a pipe, socket or device).",
    "Ueberspringe \"%s\": keine regulaere Datei (sondern eine Pipe, ein Socket oder ein "
    "Geraet)."};
inline constexpr EngineMessage EmbeddingFile{
    "Embedding file \"%s\" into patch.", "Bette Datei \"%s\" in den Patch ein."};
inline constexpr EngineMessage CreatedPlainPatch{
    "\nCreated plain patchfile \"%s\" with %d Bytes.\n",
    "\nEinfache Patchdatei \"%s\" mit %d Bytes erzeugt.\n"};
inline constexpr EngineMessage CreatedExecutablePatch{
    "\nCreated executable patchfile \"%s\" with %d Bytes.\n",
    "\nAusfuehrbare Patchdatei \"%s\" mit %d Bytes erzeugt.\n"};

// Purposes named by the allocation message.
inline constexpr EngineMessage ForSourceIndex{
    "to create indices for the source file", "fuer die Indizes der Quelldatei"};
inline constexpr EngineMessage ForCounters{
    "to hold counters for internal purposes", "fuer interne Zaehler"};
inline constexpr EngineMessage ForFileData{
    "to hold the files in memory", "um die Dateien im Speicher zu halten"};
inline constexpr EngineMessage ForMatchBuffer{
    "to buffer found patch structure information",
    "fuer die gefundenen Informationen zur Patchstruktur"};
inline constexpr EngineMessage ForOptimizer{
    "to optimize patch structure information",
    "zur Optimierung der Informationen zur Patchstruktur"};
// Further blocks of the optimized match list carry this purpose text.
inline constexpr EngineMessage ForOptimizerMore{"Test", "Test"};
inline constexpr EngineMessage ForBitStream{
    "to expand optimizing bitstream", "zur Erweiterung des Optimierungs-Bitstroms"};
// Every message above, for checks over the whole table.
inline constexpr const EngineMessage* kAllMessages[] = {
    &NameTooLong,
    &FileTooLarge,
    &BadVersionCount,
    &MissingStub,
    &CannotWritePatchStream,
    &CompressionInitFailed,
    &AllocationFailed,
    &PackerUnknown,
    &NotADirectory,
    &FileNotFound,
    &CannotOpenPatchFile,
    &CannotOpenTempPatchFile,
    &CannotWriteHeader,
    &CannotWriteTrailer,
    &CannotCreateTempFile,
    &JoinFailed,
    &CannotAccessFile,
    &CannotCreateFile,
    &CannotAccessScannedFile,
    &CannotOpenEmbedFile,
    &CannotReadEmbedFile,
    &CannotWritePatchInfo,
    &CannotReadPatchInfo,
    &SelfTestFailed,
    &CannotOpenSource,
    &CannotOpenDestination,
    &CannotReadFile,
    &NoMemoryForByteStream,
    &CannotOpenScannedDirectory,
    &BadFileCount,
    &OutputIsInput,
    &OutputInsideTree,
    &RootInsideRoot,
    &CannotReplaceOutput,
    &PackerNotStarted,
    &PackerFailed,
    &ApplierUnknown,
    &NotARegularFile,
    &BadOutputName,
    &NameNotStorable,
    &CannotSetAside,
    &Cancelled,
    &ExaminingPair,
    &Examining,
    &FileIdentical,
    &SkippingNotRegular,
    &EmbeddingFile,
    &CreatedPlainPatch,
    &CreatedExecutablePatch,
    &ForSourceIndex,
    &ForCounters,
    &ForFileData,
    &ForMatchBuffer,
    &ForOptimizer,
    &ForOptimizerMore,
    &ForBitStream,
};
}  // namespace msg

}  // namespace engine
