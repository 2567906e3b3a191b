#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/WindowList.h"

// The application windows ("views") of a sway layout tree, as the GET_TREE request returns it.
// Wayland clients give their app_id, which GTK sets to the application id and which names the
// desktop entry; Xwayland clients give their WM_CLASS. Process facts are not filled in here.
struct SwayTree {
  struct View {
    AppWindow window;
    bool focused = false;
  };

  // Every view in tree order (outputs, workspaces, then tiled before floating); nothing when the
  // text is not a layout tree.
  static std::optional<std::vector<View>> parse(const std::string& text);
};
