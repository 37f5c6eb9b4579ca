"""The demo account that `./run service` starts with."""

from store import MODE_FULL, MODE_VIEW, ROOT_ID

DEMO_USER = ("demo", "demo")
FRIEND_USER = ("friend", "friend")
GUEST_ACCESS = ("demo-guest", "guest")


def silent_mp3(frames=38):
    """About a second of silence as MPEG-1 Layer III frames (128 kbit/s,
    44.1 kHz, mono): each frame a header and zeros, which decode to silence."""
    frame = bytes([0xFF, 0xFB, 0x90, 0xC4]) + bytes(413)
    return frame * frames


def tiny_mp4():
    """The start of an MP4 file: its file-type box and an empty media box.
    Enough for the file's type; nothing plays it here."""
    file_type = b"ftyp" + b"isom" + (512).to_bytes(4, "big") + b"isomiso2mp41"
    return (8 + len(file_type)).to_bytes(4, "big") + file_type + (8).to_bytes(4, "big") + b"mdat"


def seed(store):
    """Fills a fresh store; returns the lines that tell a person how to sign in."""
    # A paying account: its level is the text the drive's sheet shows.
    demo = store.add_user(
        *DEMO_USER,
        email="demo@example.com",
        first_name="Demo",
        last_name="User",
        level="Premium",
    )
    demo.notifications.append(
        ("Welcome", "This is the local stand-in service.", "https://127.0.0.1/welcome")
    )
    demo.pro_settings.extend([("SyncInterval", "30", 1), ("UploadRatio", "1.5", 2)])
    friend = store.add_user(*FRIEND_USER, email="friend@example.com")

    documents = store.add_folder(demo.id, ROOT_ID, "Documents", description="Papers")
    store.add_file(demo.id, documents.id, "readme.txt", b"Hello from the stand-in service.\r\n")
    # A music and a video file give the command bar its Play All commands.
    store.add_file(demo.id, documents.id, "Quiet tune.mp3", silent_mp3())
    store.add_file(demo.id, documents.id, "Short clip.mp4", tiny_mp4())
    pictures = store.add_folder(demo.id, ROOT_ID, "Pictures", is_gallery=True)
    store.add_file(demo.id, pictures.id, "notes.txt", b"No pictures yet.\r\n")
    store.add_file(demo.id, ROOT_ID, "todo.txt", b"1. Try the sync.\r\n")

    shared = store.add_folder(friend.id, ROOT_ID, "From friend")
    store.add_file(friend.id, shared.id, "shared.txt", b"Shared with demo.\r\n")
    store.add_share(friend.id, shared.id, demo.id, MODE_FULL)
    viewed = store.add_folder(friend.id, ROOT_ID, "Look only")
    store.add_share(friend.id, viewed.id, demo.id, MODE_VIEW)

    guest = store.add_access_account(demo.id, *GUEST_ACCESS)
    store.grant(guest.id, pictures.id, MODE_FULL)
    return lines()


def lines():
    """What tells a person how to sign in to the demo accounts."""
    return [
        f"demo login: {DEMO_USER[0]} / {DEMO_USER[1]}",
        f"second user (shares two folders with demo): {FRIEND_USER[0]} / {FRIEND_USER[1]}",
        f"access account of demo (sees Pictures): {GUEST_ACCESS[0]} / {GUEST_ACCESS[1]}",
    ]
