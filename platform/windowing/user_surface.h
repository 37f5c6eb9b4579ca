// The pictures of top-level windows: what their painting draws into, and
// what a layered window was last updated with.
#pragma once

#include <memory>
#include <string>

#include "drawing/gdi_canvas.h"
#include "user_state.h"

namespace win_user {

struct window_surface {
    std::shared_ptr<win_gdi::canvas> pixels;   // window-sized; painting draws here
    std::shared_ptr<win_gdi::canvas> layered;  // the last UpdateLayeredWindow, if any
    bool changed = false;                      // since the last snapshot
};

// Paints the whole window and its children now, hidden or not: what a
// picture of it needs.
void paint_everything(HWND window);

// The window's picture as a person would see it, painting it first when it
// is not layered (its thread paints it, so that thread must be pumping or be
// the caller). Null for a window that is not there.
std::shared_ptr<win_gdi::canvas> window_picture(HWND window);

// What the window's top-level picture holds now for the window, without
// painting: its painted pixels (or a layered window's last update). Null for
// a window that is not there.
std::shared_ptr<win_gdi::canvas> window_pixels(HWND window);

// Writes the pictures of this thread's changed top-level windows into the
// snapshot folder (CALVIMORA_SNAPSHOT_DIR) when it is set.
void write_snapshots(const queue_ptr& queue);

}  // namespace win_user
