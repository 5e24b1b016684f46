// Dialog templates as plain data: what a dialog contains, where each control
// sits (in dialog units) and how it starts. A template is a constant; ui::Dialog
// turns it into Qt widgets.
//
//   constexpr ui::ControlTemplate kControls[] = {
//       {ui::Kind::Static, 1000, "Порт:", {12, 20, 40, 8}},
//       {ui::Kind::DefPushButton, 1, "OK", {60, 40, 50, 14}},
//   };
//   constexpr ui::DialogTemplate kDialog{
//       100, "Caption", {170, 62}, {"MS Sans Serif", 8}, ui::SysMenu, kControls};
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace ui {

// The id of a control that code never looks up (labels, frames).
inline constexpr int kNoId = -1;

enum class Kind : std::uint8_t {
  PushButton,
  DefPushButton,  // the button that Enter presses
  GroupBox,       // a titled frame; controls inside it are its siblings
  Static,         // text; alignment from Center/Right, frame from Sunken
  Picture,        // an image the dialog's code puts there (QLabel)
  Edit,           // one-line edit (QLineEdit)
  CheckBox,       // toggles its own tick when clicked
  RadioButton,    // ticks itself; unticks the others of its group
  ComboList,      // drop-down list without an edit part (QComboBox)
  ComboEdit,      // drop-down list with an edit part (editable QComboBox)
  ListBox,        // list of texts (QListWidget)
  CheckList,      // list whose items have check boxes (QListWidget)
  ProgressBar,    // QProgressBar
  SpinButton,     // up/down arrows that step the number in a buddy edit
  Custom,         // a widget class registered by name (see registerWidget)
};

// Style flags of a control, combined with |.
enum Style : std::uint32_t {
  NoStyle = 0,
  Hidden = 1u << 0,     // created invisible
  Disabled = 1u << 1,   // created disabled
  NoTabStop = 1u << 2,  // buttons, edits, lists: not reachable with Tab
  Group = 1u << 3,      // radio button: starts a new group
  Center = 1u << 4,     // centred text
  Right = 1u << 5,      // right-aligned text
  VCenter = 1u << 6,    // text centred vertically (static)
  Sunken = 1u << 7,     // sunken frame around a static ("box")
  ReadOnly = 1u << 8,   // edit that cannot be typed in
  AutoBuddy = 1u << 9,  // spin button: the control just before it is its buddy edit
  NoPrefix = 1u << 10,  // static: '&' is shown as it is, not as a mnemonic
};

constexpr Style operator|(Style a, Style b) {
  return static_cast<Style>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

// A rectangle in dialog units: x, y of the top-left corner, width, height.
struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

struct ControlTemplate {
  Kind kind = Kind::Static;
  int id = kNoId;
  std::string_view text;  // UTF-8; '&' marks a mnemonic
  Rect rect;
  Style style = NoStyle;
  std::string_view widgetClass = {};  // Kind::Custom: the registered class name
};

// Style flags of a dialog.
enum DialogStyle : std::uint32_t {
  NoDialogStyle = 0,
  SysMenu = 1u << 0,      // close box in the caption
  MinimizeBox = 1u << 1,  // the window can be minimised
  Centered = 1u << 2,     // centred on the screen rather than over its owner
};

constexpr DialogStyle operator|(DialogStyle a, DialogStyle b) {
  return static_cast<DialogStyle>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}

struct Size {
  int w = 0, h = 0;
};

struct FontSpec {
  std::string_view face;  // e.g. "MS Sans Serif": the system substitutes what it has
  int pointSize = 8;
};

struct DialogTemplate {
  int id = 0;
  std::string_view caption;  // UTF-8
  Size size;                 // client area in dialog units
  FontSpec font;
  DialogStyle style = NoDialogStyle;
  std::span<const ControlTemplate> controls;  // in tab and creation order
};
// A dialog keeps a reference to its template: templates are constants that
// outlive every dialog made from them.

}  // namespace ui
