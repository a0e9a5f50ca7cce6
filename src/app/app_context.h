// AppContext: the state the main window and every tab page share.
//
// One object, made at start-up and handed to the pages (tests and the command
// line make their own): the configuration, the message catalogue, the open
// database session with its name and paths, the record set and the run log
// path.  Pages read it when their run button is pressed; only the main window
// (or the command line) opens databases and builds record sets.
//
// Errors: OpenDatabase shows its own messages through the Ui and reports by
// its result.  Nothing throws.
// Ownership: the context owns its session; db() stays valid for its lifetime.
// Thread use: the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "app/configuration.h"
#include "app/message_table.h"
#include "app/mfn_selection.h"
#include "db/db_session.h"

namespace bramble {

class ChangeSink;
class Ui;

// How the program starts (see AppContext::Start).
struct StartOptions {
  // brm.cip to read; "" looks in the current folder.
  std::string config_path;
  // With no brm.cip in the current folder: true asks for a "*.cip" file (the
  // window); false starts on the installed defaults (the command line).
  bool ask_when_missing = true;
  // Message folder of the installed defaults (the bundled databases).
  std::string default_message_folder;
  // Language for this run only (not written back); "" keeps LANG=.
  std::string language;
};

class AppContext {
 public:
  AppContext();
  ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  Configuration& config() { return config_; }
  const Configuration& config() const { return config_; }
  MessageTable& messages() { return messages_; }
  const MessageTable& messages() const { return messages_; }
  CDbSession& db() { return db_; }
  MfnSelection& selection() { return selection_; }
  const MfnSelection& selection() const { return selection_; }

  // Text of message row.col of the current language.
  const std::string& Msg(int row, int col) const { return messages_.Text(row, col); }
  const std::string& Msg(MessageId id) const { return messages_.Text(id); }

  // Database name: the chosen file name without extension; "" while none is open.
  const std::string& db_name() const { return db_name_; }
  // Master-file path (ends in ".mst"); "" while none is open.
  const std::string& db_path() const { return db_path_; }
  // Database path without extension, as the engine takes it.
  std::string db_base() const;
  bool database_open() const { return !db_name_.empty(); }

  const std::string& run_log_path() const { return run_log_path_; }
  void set_run_log_path(const std::string& path) { run_log_path_ = path; }
  // While set, every run started from this context is a preview: the works
  // change the record buffer as the real run would, the changes go to the
  // sink, and nothing is written (no image, backup, log line or history).
  // Borrowed; the caller clears it.
  ChangeSink* preview() const { return preview_; }
  void set_preview(ChangeSink* sink) { preview_ = sink; }
  // How the runs of this context were started, as the run history keeps
  // their options: "" in the window, the command line of bramble-cli.
  const std::string& run_origin() const { return run_origin_; }
  void set_run_origin(const std::string& text) { run_origin_ = text; }

  // Start-up: the engine, the configuration, the catalogue of the language,
  // the engine's system parameters (LoadSystemParameters), the run log path,
  // the conversion tables.  Returns false with *fatal_text
  // set when the program must end (the configuration chosen in the dialog
  // cannot be opened: path + " does not exist."; the message database cannot
  // be opened: "The file " + path + " of BRM.cip does not exist").  The caller
  // shows the text and ends.
  bool Start(const StartOptions& options, Ui& ui, std::string* fatal_text);

  // Hands the engine the system parameters of configuration folder +
  // "syspar.par" (the file the parameter page edits; a missing file leaves
  // the engine's built-in parameters).  A file the engine refuses is shown
  // (its path, message 37.3 and the engine's explanation) and false returned;
  // the engine then keeps its built-in parameters.
  bool LoadSystemParameters(Ui& ui);

  // Makes this context's catalogue the source of the texts that src/db needs
  // (RunFormat's errors).  Call once after the first LoadMessages.
  void InstallDbMessages();

  // Loads the catalogue of language code from the message folder and makes
  // code the current language.  False (catalogue emptied) when the database
  // cannot be opened; *path receives the path tried.
  bool LoadLanguage(const std::string& code, std::string* path);

  // The language change after the languages dialog returned file_name (the
  // selected row's file name; "" when the person cancelled or the list was
  // empty): the code becomes its third and fourth characters, the catalogue is
  // reloaded and brm.cip is written back.  Returns false when nothing changed
  // or the new catalogue cannot be loaded (*failed_path then names it; the
  // program ends with the start-up text, as at start-up).
  bool ChangeLanguage(const std::string& file_name, std::string* failed_path);

  // Window title: database name + " - " + "Bramble [" + language code + "]".
  std::string WindowTitle() const;

  // Opens a database as "Abrir" does: a ".mst" file, a ".par" file whose "2="
  // line names the data folder, or a path without extension; a path naming
  // no folder is looked for in syspar.par's data folder first.  A ".par"
  // with the line "7=1" opens the database read only (the engine refuses
  // every write to it with VARDO_READ_ONLY); any other open does not.  Closes the open
  // database first.  On failure shows path + LF + message 1.9 (file missing or
  // not a database) or message 27.8 (".par" without "2=") and returns false,
  // with no database open.  On success the record set is cleared and DB= of the
  // configuration takes the name.
  bool OpenDatabase(const std::string& chosen_path, Ui& ui);
  // Detaches the database (nothing open afterwards).
  void CloseDatabase();

 private:
  Configuration config_;
  MessageTable messages_;
  CDbSession db_;
  MfnSelection selection_;
  std::string db_name_;
  std::string db_path_;
  std::string run_log_path_;
  ChangeSink* preview_ = nullptr;
  std::string run_origin_;
};

}  // namespace bramble
