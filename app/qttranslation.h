#pragma once

namespace app {

// Loads Qt's own Russian translation (qtbase_ru.qm), so that the standard buttons of the
// message boxes and the texts of Qt's own widgets read "Да", "Нет", "ОК", "Отмена". The
// program's own texts are Russian already. Looked up where Qt keeps its translations, then in the
// "translations" folder beside the executable (where a deployed Windows program has them);
// false when neither holds it, and the boxes stay in English.
bool installQtTranslation();

} // namespace app
