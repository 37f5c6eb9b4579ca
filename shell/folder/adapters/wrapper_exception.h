// The one failure of the read-only trees over dropped data: a caption and a
// message, thrown by value and caught as vfs::exception by the upload.
#pragma once

#include <string>

#include "vfs/exceptions.h"

class CWrapperException : public virtual vfs::exception {
public:
    CWrapperException(std::wstring title, std::wstring text)
        : title_(std::move(title)), text_(std::move(text)) {}

    std::wstring get_title() const override { return title_; }
    std::wstring get_text() const override { return text_; }

    // The failure of an operation a copy source never needs, e.g.
    // "CHDROPFile::copy( vfs::item_ptr, bool) is not implemented".
    static CWrapperException not_implemented(const std::wstring& class_name,
                                             const std::wstring& operation,
                                             const std::wstring& parameters = L"()") {
        return CWrapperException(L"Internal error", class_name + L"::" + operation + parameters +
                                                        L" is not implemented");
    }

private:
    std::wstring title_;
    std::wstring text_;
};

// A lookup of a dropped tree found nothing of that name.
class CWrapperNotFoundException : public CWrapperException,
                                  public virtual vfs::item_not_found_exception {
public:
    CWrapperNotFoundException(const std::wstring& name, const std::wstring& where)
        : CWrapperException(L"Internal error",
                            L"Error: Item '" + name + L"' not found at '" + where + L"'") {}
};
