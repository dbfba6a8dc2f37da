#pragma once
// The operator reads Russian whatever the system's language: the toolkit's own texts (the file
// dialogs, the standard buttons, the editing menus) follow, from Qt's Russian translation.
// False when the translation is not installed; the texts then stay English.
bool useRussianToolkitTexts();
