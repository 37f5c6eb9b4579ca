// A file of the remote tree (or of the shell's adapters over dropped data).
// Contents move by open, then any number of read or write calls, then close.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "vfs/item.h"

namespace vfs {

// Open mode bits; write without overwrite appends. 0 means not open.
enum open_mode { modeRead = 1, modeWrite = 2, modeOverwrite = 4 };

// Origins of file::seek.
enum seek_origin { seek_begin = 0, seek_current = 1, seek_end = 2 };

class file : public item {
public:
    virtual std::wstring get_direct_link() = 0;
    // destination is a directory item; move removes the source.
    virtual void copy(const item_ptr& destination, bool move) = 0;
    virtual double get_price() = 0;
    virtual void set_price(double price) = 0;
    virtual void open(int mode, std::int64_t size) = 0;
    virtual void close(std::int64_t file_time) = 0;
    virtual bool is_bof() = 0;
    virtual bool is_eof() = 0;
    virtual int get_mode() = 0;
    virtual std::int64_t get_pos() = 0;
    virtual void seek(std::int64_t offset, int origin) = 0;
    virtual int read(void* buffer, int length) = 0;
    virtual int write(const void* pdata, int len) = 0;
    virtual std::int64_t get_size() = 0;
    virtual std::int64_t get_access_date() = 0;
    virtual std::int64_t get_modification_date() = 0;
    virtual void set_modification_date(std::int64_t time) = 0;
    virtual int get_attributes() = 0;
    virtual void set_attributes(int attr) = 0;
    // A flag byte the file keeps for its users; cleared at construction.
    virtual void set_state_flag(unsigned char flag) { state_flag_ = flag; }
    virtual unsigned char get_state_flag() { return state_flag_; }

private:
    unsigned char state_flag_ = 0;
};

typedef boost::shared_ptr<file> file_ptr;

}  // namespace vfs
