// "dshow" before and after a graph, without media to play: what each word
// gives when the player is not opened, a render that fails, and closing twice.
main
{
    printf("open %d video %d\n", dshow(open), dshow(video, 2))
    printf("run %d\n", dshow(run))
    printf("stop %d\n", dshow(stop))
    printf("pause %d\n", dshow(pause))
    printf("status %d\n", dshow(status, position) == 0)
    printf("seek %d\n", dshow(seek, 1))
    printf("getvol %d\n", dshow(getvol))
    printf("setvol %d\n", dshow(setvol, 1))
    printf("getbal %d\n", dshow(getbal))
    printf("setbal %d\n", dshow(setbal, 0))
    printf("caps %d capu %d style %d\n", dshow(caps, 100, 20), dshow(capu, "text", 2), dshow(style, 0))
    printf("enum %d\n", dshow(enum))
    printf("close %d\n", dshow(close))
    printf("window %d size %d %d moved %d\n", hwndvideo(), dshow_width(), dshow_height(), dsmmtime())
    r = dshow(render, "Z:\\quorvel-no-such-folder\\missing.avi")
    printf("render %d\n", r)
    printf("state %d\n", dshow(status, ) == 0)
    printf("enum %d\n", dshow(enum))
    r = dshow(close)
    printf("close %d window %d\n", r, hwndvideo())
    printf("close %d\n", dshow(close))
}
