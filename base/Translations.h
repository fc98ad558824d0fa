// SPDX-License-Identifier: MIT
#pragma once

namespace calimbra {

// Shows messages, dialogs and --help in the language of the user's locale when there is a
// translation (Brazilian Portuguese today), Qt's standard buttons and texts with them; English
// otherwise. Needs the application object; call again for a new one.
void installTranslations();

} // namespace calimbra
