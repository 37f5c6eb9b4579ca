// What a worker thread of the extension holds while it runs: its COM
// apartment and the shell's progress dialog, each let go on every way out.
#pragma once

#include "win/com.h"
#include "win/progress_dialog.h"

class worker_apartment {
public:
    worker_apartment() : status_(CoInitialize(nullptr)) {}
    ~worker_apartment() {
        if (entered()) CoUninitialize();
    }
    worker_apartment(const worker_apartment&) = delete;
    worker_apartment& operator=(const worker_apartment&) = delete;

    bool entered() const { return SUCCEEDED(status_); }

private:
    HRESULT status_;
};

class worker_progress {
public:
    worker_progress() = default;
    ~worker_progress() { stop(); }
    worker_progress(const worker_progress&) = delete;
    worker_progress& operator=(const worker_progress&) = delete;

    // False when the shell's progress dialog cannot be made.
    bool create() {
        return SUCCEEDED(CoCreateInstance(CLSID_ProgressDialog, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IProgressDialog,
                                          reinterpret_cast<void**>(&dialog_))) &&
               dialog_;
    }
    void start(HWND owner) {
        dialog_->StartProgressDialog(owner, nullptr, PROGDLG_AUTOTIME, nullptr);
        started_ = true;
    }
    // Stops a started dialog and lets go of it; then get() gives null.
    void stop() {
        if (!dialog_) return;
        if (started_) dialog_->StopProgressDialog();
        dialog_->Release();
        dialog_ = nullptr;
        started_ = false;
    }
    IProgressDialog* get() const { return dialog_; }

private:
    IProgressDialog* dialog_ = nullptr;
    bool started_ = false;
};
