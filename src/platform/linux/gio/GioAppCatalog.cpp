#include "platform/linux/gio/GioAppCatalog.h"

#include <gio/gdesktopappinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/linux/gio/GioHandles.h"

namespace {

std::string textOf(const char* text) { return text != nullptr ? text : ""; }

IconRef iconOf(GAppInfo* app) {
  IconRef icon;
  GIcon* gicon = g_app_info_get_icon(app);
  if (gicon == nullptr) return icon;
  if (G_IS_FILE_ICON(gicon)) {
    GMemoryPtr<char> path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(gicon))));
    icon.file = textOf(path.get());
  } else if (G_IS_THEMED_ICON(gicon)) {
    for (const gchar* const* name = g_themed_icon_get_names(G_THEMED_ICON(gicon));
         name != nullptr && *name != nullptr; ++name) {
      icon.names.emplace_back(*name);
    }
  }
  return icon;
}

// The entry of an application GIO found; none for one without a desktop file.
std::optional<AppEntry> entryOf(GAppInfo* app) {
  if (app == nullptr || !G_IS_DESKTOP_APP_INFO(app)) return std::nullopt;
  auto* desktop = G_DESKTOP_APP_INFO(app);
  const char* path = g_desktop_app_info_get_filename(desktop);
  if (path == nullptr) return std::nullopt;
  AppEntry entry;
  entry.id = textOf(g_app_info_get_id(app));
  entry.path = path;
  entry.name = textOf(g_app_info_get_name(app));
  entry.wmClass = textOf(g_desktop_app_info_get_startup_wm_class(desktop));
  entry.executable = textOf(g_app_info_get_executable(app));
  entry.icon = iconOf(app);
  entry.hidden = g_desktop_app_info_get_nodisplay(desktop) != FALSE;
  return entry;
}

std::optional<AppEntry> ownedEntry(GAppInfo* app) {
  GObjectPtr<GAppInfo> owned(app);
  return entryOf(app);
}

std::vector<AppEntry> entriesOf(GList* apps) {
  GObjectList owned(apps);
  std::vector<AppEntry> entries;
  for (GList* item = apps; item != nullptr; item = item->next) {
    if (auto entry = entryOf(G_APP_INFO(item->data))) entries.push_back(std::move(*entry));
  }
  return entries;
}

// The content type of a local file: what the file system says, else a guess from its name.
std::string fileContentType(const std::string& url) {
  GObjectPtr<GFile> file(g_file_new_for_uri(url.c_str()));
  GError* error = nullptr;
  GObjectPtr<GFileInfo> info(g_file_query_info(
      file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, &error));
  GErrorPtr owned(error);
  if (info) {
    if (const char* type = g_file_info_get_content_type(info.get())) return type;
  }
  GMemoryPtr<char> name(g_file_get_basename(file.get()));
  GMemoryPtr<char> guess(g_content_type_guess(name.get(), nullptr, 0, nullptr));
  GMemoryPtr<char> mime(guess ? g_content_type_get_mime_type(guess.get()) : nullptr);
  return textOf(mime ? mime.get() : guess.get());
}

bool isFileOrUrlCode(const std::string& token) {
  return token == "%u" || token == "%U" || token == "%f" || token == "%F";
}

// The argument vector of an entry's Exec line: the file or URL field code (the first one) is
// replaced by `args` (appended when there is none), the other field codes by what they stand
// for, and "%%" by "%".
std::vector<std::string> commandOf(GDesktopAppInfo* app, const std::string& entryPath,
                                   const std::vector<std::string>& args) {
  std::vector<std::string> command;
  const char* exec = g_app_info_get_commandline(G_APP_INFO(app));
  gchar** raw = nullptr;
  if (exec == nullptr || !g_shell_parse_argv(exec, nullptr, &raw, nullptr)) return command;
  GStrvPtr tokens(raw);
  bool placed = false;
  for (gchar** token = raw; *token != nullptr; ++token) {
    std::string text = *token;
    if (isFileOrUrlCode(text)) {
      if (!placed) command.insert(command.end(), args.begin(), args.end());
      placed = true;
    } else if (text == "%i") {
      GMemoryPtr<char> icon(g_desktop_app_info_get_string(app, "Icon"));
      if (icon) {
        command.emplace_back("--icon");
        command.emplace_back(icon.get());
      }
    } else if (text == "%c") {
      command.emplace_back(textOf(g_app_info_get_name(G_APP_INFO(app))));
    } else if (text == "%k") {
      command.push_back(entryPath);
    } else if (text.size() == 2 && text[0] == '%') {
      // A deprecated field code (%d, %D, %n, %N, %v, %m): it stands for nothing.
    } else {
      for (auto at = text.find("%%"); at != std::string::npos; at = text.find("%%", at + 1)) {
        text.erase(at, 1);
      }
      command.push_back(std::move(text));
    }
  }
  if (!placed) command.insert(command.end(), args.begin(), args.end());
  return command;
}

// Runs in the child between fork and exec: a session of its own, so the application outlives
// us and our process group's signals.
void detach(gpointer) { setsid(); }

std::optional<int> watchChild(GPid pid, std::chrono::milliseconds watch) {
  auto deadline = std::chrono::steady_clock::now() + watch;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return 128 + WTERMSIG(status);
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

std::vector<AppEntry> GioAppCatalog::entries() { return entriesOf(g_app_info_get_all()); }

std::vector<AppEntry> GioAppCatalog::handlersOf(const std::string& contentType) {
  return entriesOf(g_app_info_get_all_for_type(contentType.c_str()));
}

std::optional<AppEntry> GioAppCatalog::defaultFor(const std::string& contentType) {
  return ownedEntry(g_app_info_get_default_for_type(contentType.c_str(), FALSE));
}

std::optional<AppEntry> GioAppCatalog::openerOf(const std::string& url) {
  GMemoryPtr<char> scheme(g_uri_parse_scheme(url.c_str()));
  if (!scheme) return std::nullopt;
  GMemoryPtr<char> lower(g_ascii_strdown(scheme.get(), -1));
  if (std::string(lower.get()) == "file") {
    std::string type = fileContentType(url);
    if (type.empty()) return std::nullopt;
    return defaultFor(type);
  }
  return ownedEntry(g_app_info_get_default_for_uri_scheme(lower.get()));
}

LaunchResult GioAppCatalog::launch(const std::string& entryPath,
                                   const std::vector<std::string>& args,
                                   std::chrono::milliseconds watch) {
  LaunchResult result;
  GObjectPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(entryPath.c_str()));
  if (!app) {
    result.error = "“" + entryPath + "” is not an application’s desktop entry.";
    return result;
  }
  auto command = commandOf(app.get(), entryPath, args);
  if (command.empty()) {
    result.error = "“" + entryPath + "” has no command line.";
    return result;
  }
  std::vector<gchar*> argv;
  for (auto& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  GMemoryPtr<char> folder(g_desktop_app_info_get_string(app.get(), "Path"));
  const char* workingFolder = folder && *folder ? folder.get() : nullptr;
  GPid pid = 0;
  GError* raw = nullptr;
  auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                        G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
  bool spawned = g_spawn_async(workingFolder, argv.data(), nullptr, flags, detach, nullptr, &pid,
                               &raw);
  GErrorPtr error(raw);
  if (!spawned) {
    result.error = error ? error->message : "the program could not be started";
    return result;
  }
  result.started = true;
  result.exitStatus = watchChild(pid, watch);
  g_spawn_close_pid(pid);
  return result;
}
