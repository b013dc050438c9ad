// The program's windows, created in their order: the main window, which loads the map
// settings, then the map-server settings dialog, which shows what the window loaded.
#pragma once

#include "ui/gridora_window.h"
#include "ui/map_settings_dialog.h"

namespace gridora::ui {

struct GridoraWindows {
    explicit GridoraWindows(const WindowEnvironment& environment)
        : window(environment), settings_dialog(window.LoadedMapSettings(), environment.settings_file, *environment.dialogs) {
        window.SetMapSettingsDialog(&settings_dialog);
    }

    Tgridoraf window;
    TOKRightDlg settings_dialog;
};

}  // namespace gridora::ui
