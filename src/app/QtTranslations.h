#pragma once

class QCoreApplication;

// Loads Qt's own Chinese texts (standard buttons, file dialogs, context
// menus) from the system's Qt translations. False when they are not
// installed; Qt's texts then stay English and nothing else changes.
bool installQtTranslations(QCoreApplication& app);
