// Arranges the calendar store for end-to-end tests through the store's own API, on the session
// bus of its environment. Each command prints what it made (a uid) or what it read.
//   store_seed calendar <title> [<color>]            a writable local calendar
//   store_seed readonly-calendar <title> <ics-file>   a read-only calendar over an iCalendar file
//   store_seed task-list <title> [<parent>]           a task list (default parent: local account)
//   store_seed identity <address>                     a mail identity: the user's own address
//   store_seed add <events|tasks> <source> <ical>     a component given as iCalendar text
//   store_seed objects <events|tasks> <source>        every component, as iCalendar text
//   store_seed default <events|tasks>                 the default calendar or task list
//   store_seed lists                                  every task list: uid, tab, title
#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

ESourceRegistry* registry = nullptr;

int failed(GError* error) {
  std::fprintf(stderr, "store_seed: %s", error ? error->message : "failed");
  if (error) g_error_free(error);
  return 1;
}

ECalClientSourceType typeOf(const char* word) {
  return std::strcmp(word, "tasks") == 0 ? E_CAL_CLIENT_SOURCE_TYPE_TASKS
                                         : E_CAL_CLIENT_SOURCE_TYPE_EVENTS;
}

int commit(ESource* source) {
  GError* error = nullptr;
  if (!e_source_registry_commit_source_sync(registry, source, nullptr, &error)) return failed(error);
  std::printf("%s", e_source_get_uid(source));
  g_object_unref(source);
  return 0;
}

ESource* newSource(const char* title, const char* parent) {
  GError* error = nullptr;
  ESource* source = e_source_new(nullptr, nullptr, &error);
  e_source_set_display_name(source, title);
  if (parent) e_source_set_parent(source, parent);
  return source;
}

EClient* connect(const char* type, const char* uid) {
  ESource* source = e_source_registry_ref_source(registry, uid);
  if (!source) return nullptr;
  GError* error = nullptr;
  EClient* client = e_cal_client_connect_sync(source, typeOf(type), -1, nullptr, &error);
  g_object_unref(source);
  if (!client) failed(error);
  return client;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 64;
  GError* error = nullptr;
  registry = e_source_registry_new_sync(nullptr, &error);
  if (!registry) return failed(error);
  std::string command = argv[1];

  if (command == "calendar" && argc >= 3) {
    ESource* source = newSource(argv[2], "local-stub");
    auto* calendar = static_cast<ESourceCalendar*>(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
    e_source_backend_set_backend_name(E_SOURCE_BACKEND(calendar), "local");
    if (argc >= 4) e_source_selectable_set_color(E_SOURCE_SELECTABLE(calendar), argv[3]);
    return commit(source);
  }
  if (command == "readonly-calendar" && argc == 4) {
    ESource* source = newSource(argv[2], "local-stub");
    auto* calendar = static_cast<ESourceCalendar*>(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
    e_source_backend_set_backend_name(E_SOURCE_BACKEND(calendar), "local");
    auto* local = static_cast<ESourceLocal*>(e_source_get_extension(source, E_SOURCE_EXTENSION_LOCAL_BACKEND));
    GFile* file = g_file_new_for_path(argv[3]);
    e_source_local_set_custom_file(local, file);
    g_object_unref(file);
    e_source_local_set_writable(local, FALSE);
    return commit(source);
  }
  if (command == "task-list" && argc >= 3) {
    ESource* source = newSource(argv[2], argc >= 4 ? argv[3] : "local-stub");
    auto* list = static_cast<ESourceTaskList*>(e_source_get_extension(source, E_SOURCE_EXTENSION_TASK_LIST));
    e_source_backend_set_backend_name(E_SOURCE_BACKEND(list), "local");
    return commit(source);
  }
  if (command == "identity" && argc == 3) {
    ESource* source = newSource(argv[2], nullptr);
    auto* identity = static_cast<ESourceMailIdentity*>(e_source_get_extension(source, E_SOURCE_EXTENSION_MAIL_IDENTITY));
    e_source_mail_identity_set_address(identity, argv[2]);
    return commit(source);
  }
  if (command == "add" && argc == 5) {
    EClient* client = connect(argv[2], argv[3]);
    if (!client) return 1;
    ICalComponent* component = i_cal_component_new_from_string(argv[4]);
    if (!component) return 1;
    gchar* uid = nullptr;
    if (!e_cal_client_create_object_sync(E_CAL_CLIENT(client), component, E_CAL_OPERATION_FLAG_NONE,
                                         &uid, nullptr, &error)) {
      return failed(error);
    }
    std::printf("%s", uid);
    g_free(uid);
    return 0;
  }
  if (command == "objects" && argc == 4) {
    EClient* client = connect(argv[2], argv[3]);
    if (!client) return 1;
    GSList* objects = nullptr;
    if (!e_cal_client_get_object_list_sync(E_CAL_CLIENT(client), "#t", &objects, nullptr, &error)) {
      return failed(error);
    }
    for (GSList* item = objects; item; item = item->next) {
      gchar* text = i_cal_component_as_ical_string(static_cast<ICalComponent*>(item->data));
      std::printf("%s", text);
      g_free(text);
    }
    g_slist_free_full(objects, g_object_unref);
    return 0;
  }
  if (command == "default" && argc == 3) {
    ESource* source = typeOf(argv[2]) == E_CAL_CLIENT_SOURCE_TYPE_TASKS
                          ? e_source_registry_ref_default_task_list(registry)
                          : e_source_registry_ref_default_calendar(registry);
    std::printf("%s", source ? e_source_get_uid(source) : "");
    return 0;
  }
  if (command == "lists") {
    GList* lists = e_source_registry_list_sources(registry, E_SOURCE_EXTENSION_TASK_LIST);
    for (GList* item = lists; item; item = item->next) {
      auto* source = static_cast<ESource*>(item->data);
      std::printf("%s\t%s\t%s\n", e_source_get_uid(source), e_source_get_parent(source),
                  e_source_get_display_name(source));
    }
    g_list_free_full(lists, g_object_unref);
    return 0;
  }
  return 64;
}
