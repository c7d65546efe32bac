#pragma once
// The texts of the Licence and About dialogs.

namespace zoetra {

// The program's licence notice (GPL-3.0-or-later), a few paragraphs with
// line feeds between them; the full licence is the file COPYING.
const char* licence_notice();

// Three lines: the program and version, what it does, its licence.
const char* about_text();

} // namespace zoetra
