#include "app/CommandTable.h"

void CommandTable::Register(int id, CommandHandler handler) {
    if (handler) handlers_[id] = std::move(handler);
}

void CommandTable::RegisterDefault(int id, CommandHandler handler) {
    if (handler && !Has(id)) handlers_.emplace(id, std::move(handler));
}

bool CommandTable::Run(int id, QWidget* mainWindow) const {
    auto it = handlers_.find(id);
    if (it == handlers_.end()) return false;
    // a copy: the handler may register others while it runs
    CommandHandler handler = it->second;
    handler(mainWindow);
    return true;
}
