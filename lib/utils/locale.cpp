#include "utils/locale.h"

#include <boost/filesystem/path.hpp>
#include <locale>
#include <mutex>

namespace utils {

void imbue_utf8_locale() {
    static std::once_flag once;
    std::call_once(once, [] {
        // C.UTF-8 is built into the C library; only its character
        // conversion is taken, the rest stays classic.
        boost::filesystem::path::imbue(
            std::locale(std::locale::classic(), std::locale("C.UTF-8"), std::locale::ctype));
    });
}

}  // namespace utils
