#pragma once
// Menu, tray and button commands by ID. Start-up registers the handlers of the subsystems'
// windows, the main window adds its own; a command without a handler is shown disabled.
// Main thread only.

#include <functional>
#include <unordered_map>

class QWidget;

// Runs one command; mainWindow is the parent for any window the command opens.
using CommandHandler = std::function<void(QWidget* mainWindow)>;

class CommandTable {
public:
    // Replaces an earlier handler of the same ID.
    void Register(int id, CommandHandler handler);
    // Registers the handler unless the ID has one already.
    void RegisterDefault(int id, CommandHandler handler);
    bool Has(int id) const { return handlers_.count(id) != 0; }
    // Returns false when the ID has no handler.
    bool Run(int id, QWidget* mainWindow) const;

private:
    std::unordered_map<int, CommandHandler> handlers_;
};
