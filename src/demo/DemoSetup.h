// Setting up the demo table for a user who has no table yet.
#pragma once

#include "engine/Outcome.h"

#include <string>

namespace vandro::demo {

// What the set-up did.
struct DemoSetup {
  std::string aliasAddedIn;  // the configuration file the alias "Vandro" was added to, if it was
  std::string directory;     // where the alias leads
  std::string tableMade;     // where the demo table was made, if it was
};

// Adds the alias "Vandro" for the folder "vandro" of the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share) when the configuration has none,
// then makes the demo table "Vandro.DB" there when it does not exist. What
// is there already is never changed. Starts the engine for the time it
// works unless it runs already. Fails with why (the engine's message).
Outcome<DemoSetup> setUpDemo();

} // namespace vandro::demo
