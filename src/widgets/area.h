#pragma once
// What a feature area plugs into the main window: how its buttons are wired, and its dialogs
// by name for screenshots. Each area defines one Area in its ui/ folder; the build lists them
// (KESTRIX_AREAS in CMakeLists.txt), and the main window and the tools loop over that list.

#include <QDialog>
#include <memory>
#include <span>

namespace kestrix {

class MainWindowHost;

// A dialog of an area as a screenshot shows it: made, and readied (a place picked, a download
// run) before it is painted.
struct AreaDialog {
    const char *name;
    std::unique_ptr<QDialog> (*make)();
};

struct Area {
    const char *name;
    void (*wire)(MainWindowHost &host);
    std::span<const AreaDialog> dialogs;
};

// The program's areas, in the order of KESTRIX_AREAS.
std::span<const Area *const> areas();

} // namespace kestrix
