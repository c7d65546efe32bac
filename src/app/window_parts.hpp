#pragma once
// The parts of the window that the application shell draws itself: the status
// line, the splash, the work area's background, and the construction screen
// with its frame slots and cancel button.
#include "app/frame_image.hpp"

#include <string>

namespace zoetra {

class skin_cache;

// The construction screen: slot k of the 32 frame slots, and the cancel button.
rect frame_slot(int k);
inline constexpr rect cancel_button{450, 0, 124, 16};

// Each draws into the frame image and marks what it drew as damaged.
void draw_status_line(frame_image& frame, const std::string& text);
void draw_splash(frame_image& frame, skin_cache& skins);
// The work area's background: ui_mid, with the background skin image centred
// unless with_background is false.
void draw_work_area_background(frame_image& frame, skin_cache& skins, bool with_background);
// The construction screen over the tab row and panel body: its title and one
// sunken outline per frame slot in use.
void draw_construction_screen(frame_image& frame, int slots_in_use);
void draw_cancel_button(frame_image& frame, skin_cache& skins, bool pressed);
// A captured frame, scaled into its slot.
void draw_frame_in_slot(frame_image& frame, int k, buffer& captured);
// The progress of the run that makes frame k: the slot filled in black from
// its top, fired / count of its height.
void draw_slot_progress(frame_image& frame, int k, int fired, int count);

} // namespace zoetra
