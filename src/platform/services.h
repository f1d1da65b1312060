#pragma once

#include "appexit.h"
#include "clock.h"
#include "filedialog.h"
#include "filesystem.h"
#include "messageboxes.h"
#include "serialcomm.h"

#include <functional>
#include <memory>

namespace vantrel
{

// The outside world as the screens reach it. The program wires the real ones; tests
// wire fakes where a person or the wire would be.
struct Services {
    SerialComm* serial = nullptr;
    MessageBoxes* boxes = nullptr;
    FileSystem* files = nullptr;
    Clock* clock = nullptr;
    AppExit* exit = nullptr;
    std::function<std::unique_ptr<FileDialog>()> makeFileDialog;
};

} // namespace vantrel
