// A file in the user's own storage on the service, and the base of the
// shared and access files. The record getters answer from the listing
// record; every other operation is one request through the file's own copy
// of the session it was built through. Contents move through the file's
// transfer stream: open asks the service where they are read or written,
// read and write pass bytes through the stream, and close ends the transfer
// and reports it to the service.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "vfs/calvimora_client.h"
#include "vfs/calvimora_item.h"
#include "vfs/file.h"
#include "vfs/listing_records.h"
#include "vfs/request_parameters.h"
#include "vfs/transfer_stream.h"

namespace vfs_calvimora {

class file : public vfs::file, public vfs_calvimora::item {
public:
    // The session is copied; its transfer server and speed limits go to the
    // file's stream. mode is 0 (closed) or 6 (an upload already announced to
    // the service, started at once into temp_location); any other mode
    // throws ("Internal error", "Wrong file open mode: ...").
    file(const client& session, const file_record& record, int mode,
         const std::wstring& temp_location);
    // An upload still open is abandoned, never committed: only close
    // commits. A download still open is closed.
    ~file() override;
    file(const file&) = delete;
    file& operator=(const file&) = delete;

    // vfs::item
    std::wstring get_name() override;
    std::wstring get_id() override;  // the server id, no prefix
    std::wstring get_path() override;
    std::wstring get_description() override;
    void set_description(const std::wstring& description) override;
    int get_type() override;
    vfs::byte_buffer get_thumbnail() override;
    void set_access(int access) override;
    int get_access() override;
    std::wstring get_link() override;
    std::int64_t get_creation_date() override;  // always -1
    std::int64_t get_delete_date() override;
    void restore() override;

    // vfs::file
    std::wstring get_direct_link() override;
    void copy(const vfs::item_ptr& destination, bool move) override;
    double get_price() override;
    void set_price(double price) override;
    // modeRead (download) or modeWrite|modeOverwrite (upload). Refused before
    // any request while the file is open.
    void open(int mode, std::int64_t size) override;
    // An upload is committed only when the service confirmed every written
    // byte; otherwise it throws ("Close failed", ...) and commits nothing.
    void close(std::int64_t file_time) override;
    bool is_bof() override;
    bool is_eof() override;
    int get_mode() override;
    std::int64_t get_pos() override;
    // Only a rewind (offset 0 from the beginning), which starts the transfer
    // over, and the seeks that stay where they are.
    void seek(std::int64_t offset, int origin) override;
    int read(void* buffer, int length) override;
    int write(const void* pdata, int len) override;
    std::int64_t get_size() override;
    std::int64_t get_access_date() override;
    std::int64_t get_modification_date() override;
    void set_modification_date(std::int64_t time) override;
    int get_attributes() override;
    void set_attributes(int attr) override;

    // vfs_calvimora::item
    std::wstring get_server_id() override;

protected:
    const client& session() const { return session_; }

    // What a derived file sends with each request about itself (path,
    // description, access, restore, price, date, open, close) to name where
    // it lies; the own file adds nothing.
    virtual void add_location_params(request_parameters& parameters);
    // What a derived file adds to a copy request to name where the source
    // lies; the own file adds nothing.
    virtual void add_source_params(request_parameters& parameters);
    // The "shared_user_id" of the thumbnail request: empty for an own file.
    virtual std::wstring thumbnail_shared_user_id();

private:
    // "action" and "file_id" with the location parameters, sent through
    // the session copy.
    response_node file_request(const std::wstring& action, request_parameters parameters);

    // The stream of this file's transfers, made when first needed.
    transfer_stream& stream();

    const client session_;
    std::unique_ptr<transfer_stream> stream_;
    int mode_ = 0;
    // The running upload's transfer ended with every byte confirmed.
    bool upload_confirmed_ = false;
    // The size a download is expected to reach (-1: not known).
    std::int64_t download_size_ = -1;
    const std::wstring id_;
    const std::wstring name_;
    const std::wstring link_;
    const std::wstring direct_link_;
    const std::wstring location_;
    std::wstring temp_location_;
    std::wstring description_;
    int access_;
    double price_;
    std::int64_t position_ = 0;
    std::int64_t size_;
    const std::int64_t date_accessed_;
    std::int64_t date_modified_;
    const std::int64_t date_deleted_;
};

}  // namespace vfs_calvimora
