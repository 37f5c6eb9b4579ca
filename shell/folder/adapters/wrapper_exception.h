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
