#include "vfs/profile.h"

namespace vfs_calvimora {

bool create_new_profile(const std::wstring& user_name, const std::wstring& password,
                        const std::wstring& verify_password, const std::wstring& email,
                        const std::wstring& first_name, const std::wstring& last_name) {
    http_client requester;
    requester.fetch_real_path();
    return new_profile(requester, user_name, password, verify_password, email, first_name,
                       last_name);
}

bool new_profile(const http_client& requester, const std::wstring& user_name,
                 const std::wstring& password, const std::wstring& verify_password,
                 const std::wstring& email, const std::wstring& first_name,
                 const std::wstring& last_name) {
    requester.call_operation(requester.get_prefix() + profile_script,
                             {{L"action", L"new_profile"},
                              {L"user_name", user_name},
                              {L"passwd", password},
                              {L"verify_passwd", verify_password},
                              {L"email", email},
                              {L"first_name", first_name},
                              {L"last_name", last_name}});
    return true;
}

}  // namespace vfs_calvimora
