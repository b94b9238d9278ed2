"""Frames through the binding against the emulated camera's test pattern."""

import threading

import numpy as np
import pytest

import dravix

BARS = [(180, 128, 128), (162, 44, 142), (131, 156, 44), (112, 72, 58),
        (84, 184, 198), (65, 100, 212), (35, 212, 114), (16, 128, 128)]
# The same bars as 8-bit RGB (75 % bars).
BAR_RGB = [(191, 191, 191), (191, 191, 0), (0, 191, 191), (0, 191, 0),
           (191, 0, 191), (191, 0, 0), (0, 0, 191), (0, 0, 0)]
COUNTER_ROWS = 8


def frame_number(frame):
    bits = frame[0, : 32 * 8, 0].reshape(32, 8).mean(axis=1) > (16 + 235) / 2
    return int(sum(1 << b for b, one in enumerate(bits) if one))


def gradient_top(height):
    return COUNTER_ROWS + (height - COUNTER_ROWS) * 3 // 4


def expected_bar_row(width, number):
    pairs = width // 2
    row = np.empty((width, 2), dtype=np.uint8)
    for pair in range(pairs):
        y, u, v = BARS[((pair + number) % pairs) * 8 // pairs]
        row[2 * pair] = (y, u)
        row[2 * pair + 1] = (y, v)
    return row


def expected_counter_row(width, number):
    x = np.arange(width)
    bit = x // 8
    one = (bit < 32) & ((number >> np.minimum(bit, 31)) & 1 == 1)
    return np.stack([np.where(one, 235, 16), np.full(width, 128)], axis=1).astype(np.uint8)


def check_pattern(frame):
    height, width, _ = frame.shape
    number = frame_number(frame)
    top = gradient_top(height)
    np.testing.assert_array_equal(frame[0], expected_counter_row(width, number))
    np.testing.assert_array_equal(frame[COUNTER_ROWS - 1], frame[0])
    bars = expected_bar_row(width, number)
    for row in (COUNTER_ROWS, top - 1):
        np.testing.assert_array_equal(frame[row], bars)
    gradient = 16 + np.arange(width) * 219 // (width - 1)
    for row in (top, height - 1):
        np.testing.assert_array_equal(frame[row, :, 0], gradient)
        assert (frame[row, :, 1] == 128).all()
    return number


def test_copied_frames_follow_the_pattern_in_order(camera):
    numbers = [check_pattern(frame) for frame in camera.frames(count=5)]
    assert numbers == sorted(numbers) and len(set(numbers)) == 5


def test_callback_frames_are_views_of_the_pattern_during_the_call(camera):
    seen = []
    done = threading.Event()

    def on_frame(frame):
        assert frame.shape == (1080, 1920, 2) and not frame.flags.owndata
        seen.append(check_pattern(frame))
        if len(seen) == 3:
            done.set()

    camera.start(on_frame)
    assert done.wait(5)
    camera.stop()
    assert len(seen) >= 3


def test_colour_conversion_of_the_bars(camera):
    frame = next(iter(camera.frames(count=1))).copy()
    number = frame_number(frame)
    width = frame.shape[1]
    rgb = dravix.yuy2_to_rgb(frame)
    bgr = dravix.yuy2_to_bgr(frame)
    np.testing.assert_array_equal(bgr, rgb[..., ::-1])
    pairs = width // 2
    for pair in range(0, pairs, 37):
        expected = BAR_RGB[((pair + number) % pairs) * 8 // pairs]
        for x in (2 * pair, 2 * pair + 1):
            assert np.abs(rgb[COUNTER_ROWS, x].astype(int) - expected).max() <= 2, (pair, x)
    assert tuple(rgb[-1, 0]) == (0, 0, 0) and tuple(rgb[-1, -1]) == (255, 255, 255)


@pytest.mark.parametrize(
    "length, size, shape",
    [
        (1920 * 1080 * 2, None, (1080, 1920, 2)),
        (656 * 486 * 2, None, (486, 656, 2)),
        (640 * 480 * 2, None, (640 * 480 * 2,)),
        (640 * 480 * 2, (640, 480), (480, 640, 2)),
        (100, (640, 480), (100,)),
        (0, (0, 0), (0,)),
    ],
)
def test_frame_shape(length, size, shape):
    assert dravix.frame_shape(length, size) == shape


def test_frame_queue_overwrites_the_oldest_copy_when_the_consumer_falls_behind():
    queue = dravix.FrameQueue(pool_size=3)
    frames = [np.full((2, 4, 2), n, dtype=np.uint8) for n in range(5)]
    for frame in frames:
        queue.put(frame)
    assert queue.dropped == 2
    received = [int(queue.get(0.1)[0, 0, 0]) for _ in range(3)]
    assert received == [2, 3, 4]
    assert queue.get(0.01) is None
    queue.put(frames[0])  # the consumer's arrays went back to the pool: no drop
    assert queue.dropped == 2 and int(queue.get(0.1)[0, 0, 0]) == 0
