import struct, sys
out, small, *pngs = sys.argv[1:]
data = open(small, 'rb').read()
_, _, count = struct.unpack_from('<HHH', data, 0)
frames = []
for i in range(count):
    w, h, colors, _, planes, bits, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
    frames.append((w, h, colors, planes, bits, data[offset:offset + size]))
for name in pngs:
    png = open(name, 'rb').read()
    assert png[:8] == b'\x89PNG\r\n\x1a\n' and png[12:16] == b'IHDR'
    w, h = struct.unpack_from('>II', png, 16)
    frames.append((w % 256, h % 256, 0, 1, 32, png))
header = struct.pack('<HHH', 0, 1, len(frames))
offset = 6 + 16 * len(frames)
body = b''
for w, h, colors, planes, bits, blob in frames:
    header += struct.pack('<BBBBHHII', w, h, colors, 0, planes, bits, len(blob), offset + len(body))
    body += blob
open(out, 'wb').write(header + body)
