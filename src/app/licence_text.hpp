#pragma once
// The texts of the About box and the Licence dialog.
namespace zoetra {

const char* licence_notice();
const char* about_text();

} // namespace zoetra
