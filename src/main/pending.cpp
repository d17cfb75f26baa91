// Placeholders for the new-message poll, the hot keys and the tray icon, so
// the main window links and runs before those parts are in.
#include "main/main_window.h"

namespace varnu {


}  // namespace varnu
