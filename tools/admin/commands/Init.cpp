// vandro-admin init --demo: the demo table for a user who has none.
#include "Commands.h"

#include "demo/DemoSetup.h"

namespace vandro::admin {

using namespace engine;

namespace {

int initDemo(Context &context) {
  const Outcome<demo::DemoSetup> setup = demo::setUpDemo();
  if (!setup)
    return context.failure(setup.error());
  if (!setup->aliasAddedIn.empty())
    context.out << "Alias Vandro added for " << setup->directory << " in " << setup->aliasAddedIn << "\n";
  if (!setup->tableMade.empty())
    context.out << "Demo table made: " << setup->tableMade << "\n";
  return kSuccess;
}

} // namespace

void addInitCommand(CLI::App &app, Context &context) {
  auto *command =
      addCommand(app, "init", "With --demo: make the demo table and its alias when they are missing",
                 "With --demo: add the alias Vandro for ~/.local/share/vandro when there is none,\n"
                                 "and make the demo table Vandro.DB there when it is missing. Changes nothing\n"
                                 "when both exist.");
  const auto demo = std::make_shared<bool>(false);
  command->add_flag("--demo", *demo, "Make the demo table")->required();
  command->callback([&context, demo] { context.status = initDemo(context); });
}

} // namespace vandro::admin
