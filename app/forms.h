// Every window class of the program, registered with the application by its form name.
#pragma once

namespace tidewick {
namespace ui {
class Application;
}

void RegisterForms(ui::Application& app);

}  // namespace tidewick
