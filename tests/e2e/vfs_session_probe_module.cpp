// A module that a test loads from a folder of its choosing, so that the
// client starts the sibling programs from there.
extern "C" {
__attribute__((visibility("default"))) int vfs_session_probe_marker = 0;
}
