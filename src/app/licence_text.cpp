#include "app/licence_text.hpp"

namespace zoetra {

const char* licence_notice() {
    return "Zoetra - turns still pictures into animated GIF89a files.\n"
           "Copyright (C) 2026 the Zoetra developers\n"
           "\n"
           "This program is free software: you can redistribute it and/or modify it under the "
           "terms of the GNU General Public License as published by the Free Software "
           "Foundation, either version 3 of the License, or (at your option) any later "
           "version.\n"
           "\n"
           "This program is distributed in the hope that it will be useful, but WITHOUT ANY "
           "WARRANTY; without even the implied warranty of MERCHANTABILITY or FITNESS FOR A "
           "PARTICULAR PURPOSE. See the GNU General Public License for more details.\n"
           "\n"
           "You should have received a copy of the GNU General Public License along with this "
           "program (the file COPYING). If not, see <https://www.gnu.org/licenses/>.\n"
           "\n"
           "Fine colours use libimagequant, licensed under the GNU General Public License, "
           "version 3 or later, which allows its use in this program under the same terms.";
}

const char* about_text() {
    return "Zoetra 1.0\n"
           "Turns still GIF images into animated GIF89a files with effects.\n"
           "Licence: GPL-3.0-or-later (GNU General Public License, version 3 or later).";
}

} // namespace zoetra
