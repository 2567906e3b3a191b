#include "platform/linux/swayipc/SwayTree.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// The workspace sway keeps its scratchpad in: windows there are hidden.
constexpr const char* SCRATCHPAD = "__i3_scratch";

std::string textAt(const json& node, const char* key) {
  auto found = node.find(key);
  return found != node.end() && found->is_string() ? found->get<std::string>() : "";
}

void collect(const json& node, bool hidden, std::vector<SwayTree::View>& views) {
  if (!node.is_object()) return;
  if (textAt(node, "type") == "workspace" && textAt(node, "name") == SCRATCHPAD) hidden = true;
  // Only views carry the pid of their client; split containers have none.
  auto pid = node.find("pid");
  if (pid != node.end() && pid->is_number_integer()) {
    SwayTree::View view;
    view.window.pid = pid->get<long>();
    const std::string appId = textAt(node, "app_id");
    view.window.gtkAppId = appId;
    view.window.wmClass = appId;
    auto properties = node.find("window_properties");
    if (properties != node.end() && properties->is_object()) {
      view.window.wmClass = textAt(*properties, "class");
      view.window.wmInstance = textAt(*properties, "instance");
    }
    view.window.hidden = hidden;
    auto focused = node.find("focused");
    view.focused = focused != node.end() && focused->is_boolean() && focused->get<bool>();
    views.push_back(std::move(view));
  }
  for (const char* children : {"nodes", "floating_nodes"}) {
    auto found = node.find(children);
    if (found == node.end() || !found->is_array()) continue;
    for (const auto& child : *found) collect(child, hidden, views);
  }
}

}  // namespace

std::optional<std::vector<SwayTree::View>> SwayTree::parse(const std::string& text) {
  json root = json::parse(text, nullptr, false);
  if (!root.is_object() || textAt(root, "type") != "root") return std::nullopt;
  std::vector<View> views;
  collect(root, false, views);
  return views;
}
