# Reads a screenshot of the game's window as an ASCII PPM (convert ... -compress none ppm:-) and checks,
# at the scale num / den, what must hold at every scale: the grid's five lines each way of one width with
# cells that differ by one pixel at most, the new game button's dot round, and, when the cursor shows
# (cursor=1), its four corners alike. Prints one line per fault; nothing when all holds.
function s(u) { return int(u * num / den) }
function dark(x, y,   k) { k = 3 * (y * w + x); return v[k] + v[k + 1] + v[k + 2] < 200 }
function blue(x, y,   k) { k = 3 * (y * w + x); return v[k + 2] > 200 && v[k] < 80 && v[k + 1] < 80 }
# The dark runs along a line of pixels inside the board square: their starts and widths.
function runs(horizontal, at, from, to,   k, n, inside, d) {
  n = 0; inside = 0
  for (k = from; k <= to; ++k) {
    d = horizontal ? dark(k, at) : dark(at, k)
    if (d && !inside) { ++n; start[n] = k; width[n] = 0 }
    if (d) ++width[n]
    inside = d
  }
  return n
}
function grid(horizontal, name,   n, k, cmin, cmax, c) {
  # Across the vertical lines along a row between the first two horizontal ones, and the other way.
  n = runs(horizontal, s(142 + 8), s(57) - s(10), s(173) + s(10))
  if (!horizontal) n = runs(0, s(57 + 8), s(142) - s(10), s(258) + s(10))
  if (n != 5) { print name ": " n " lines"; return }
  cmin = 1e9; cmax = 0
  for (k = 1; k <= 5; ++k) {
    if (width[k] != width[1]) print name ": line " k " is " width[k] " pixels wide, line 1 " width[1]
    if (k > 1) { c = start[k] - start[k - 1]; if (c < cmin) cmin = c; if (c > cmax) cmax = c }
  }
  if (cmax - cmin > 1) print name ": cells of " cmin " to " cmax " pixels"
}
# The bounding box and count of the pixels the test picks in a rectangle.
function box(kind, x0, y0, x1, y1,   x, y, hit) {
  bl = 1e9; br = -1; bt = 1e9; bb = -1; bn = 0
  for (y = y0; y <= y1; ++y)
    for (x = x0; x <= x1; ++x) {
      hit = kind == "blue" ? blue(x, y) : dark(x, y)
      if (!hit) continue
      ++bn; if (x < bl) bl = x; if (x > br) br = x; if (y < bt) bt = y; if (y > bb) bb = y
    }
}
NR == 1 { next }                            # P3
NR == 2 { w = $1; next }
NR == 3 { next }                            # the largest value
{ for (k = 1; k <= NF; ++k) v[n++] = $k }
END {
  grid(1, "vertical lines"); grid(0, "horizontal lines")
  # The dot in the new game button (13, 40, 35 x 55): as wide as high, a circle's share of its box.
  box("dark", s(16), s(44), s(46), s(92))
  if (br - bl != bb - bt) print "the dot is " br - bl + 1 " x " bb - bt + 1 " pixels"
  else if (bn < 0.72 * (br - bl + 1) ^ 2 || bn > 0.85 * (br - bl + 1) ^ 2) print "the dot fills " bn " of " (br - bl + 1) ^ 2
  if (!cursor) exit
  # The cursor around the centre point (115, 200): each corner the same shape, as tall as wide.
  for (q = 0; q < 4; ++q) {
    qx = q % 2 ? 1 : -1; qy = q < 2 ? -1 : 1
    x0 = qx < 0 ? s(115 - 25) : s(115) + 1; y0 = qy < 0 ? s(200 - 25) : s(200) + 1
    box("blue", x0, y0, x0 + s(25) - 1, y0 + s(25) - 1)
    shape = (br - bl + 1) "x" (bb - bt + 1) "," bn
    if (q == 0) first = shape
    else if (shape != first) print "cursor corner " q ": " shape ", corner 0: " first
    if (br - bl != bb - bt) print "cursor corner " q ": " shape " is not square"
  }
}
