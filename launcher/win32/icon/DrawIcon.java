// Draws Tavelin's program icon and writes it as a Windows .ico file: a
// rounded square in two shades of teal with a white "T" standing on an
// amber bar (the launcher carrying the client). Drawn from geometry alone,
// anti-aliased by 8 x 8 samples a pixel, so the build needs no artwork.
// Every size is a 32-bit BGRA bitmap with its AND mask, which every
// Windows version reads.
//
// Usage: java DrawIcon.java OUTPUT.ico
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;

public final class DrawIcon {
    private static final int[] SIZES = {16, 24, 32, 48, 64};
    private static final int SAMPLES = 8;

    // Colours as 0xRRGGBB.
    private static final int TEAL_TOP = 0x2A8FA8;
    private static final int TEAL_BOTTOM = 0x12485C;
    private static final int WHITE = 0xFFFFFF;
    private static final int AMBER = 0xF2A93B;

    public static void main(String[] args) throws IOException {
        boolean help = args.length == 1 && (args[0].equals("--help") || args[0].equals("-h"));
        if (help || args.length != 1) {
            System.err.println("usage: java DrawIcon.java OUTPUT.ico");
            System.err.println("Draws the launcher's icon in " + SIZES.length + " sizes.");
            System.exit(help ? 0 : 2);
        }
        byte[][] images = new byte[SIZES.length][];
        for (int i = 0; i < SIZES.length; i++) images[i] = bitmap(SIZES[i]);

        ByteArrayOutputStream out = new ByteArrayOutputStream();
        // ICONDIR: reserved, type 1 (icon), count; then one ICONDIRENTRY each.
        short16(out, 0);
        short16(out, 1);
        short16(out, SIZES.length);
        int offset = 6 + 16 * SIZES.length;
        for (int i = 0; i < SIZES.length; i++) {
            out.write(SIZES[i]);  // width (0 would mean 256)
            out.write(SIZES[i]);  // height
            out.write(0);         // no palette
            out.write(0);         // reserved
            short16(out, 1);      // colour planes
            short16(out, 32);     // bits per pixel
            int32(out, images[i].length);
            int32(out, offset);
            offset += images[i].length;
        }
        for (byte[] image : images) out.write(image);
        Files.write(Paths.get(args[0]), out.toByteArray());
    }

    // One size as BITMAPINFOHEADER, bottom-up BGRA rows and the AND mask
    // (all zero: the alpha channel decides).
    private static byte[] bitmap(int size) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        int32(out, 40);
        int32(out, size);
        int32(out, size * 2);  // the colour rows and the mask rows
        short16(out, 1);
        short16(out, 32);
        int32(out, 0);         // BI_RGB
        int32(out, 0);
        int32(out, 0);
        int32(out, 0);
        int32(out, 0);
        int32(out, 0);
        for (int row = size - 1; row >= 0; row--) {
            for (int column = 0; column < size; column++) {
                int argb = pixel(column, row, size);
                out.write(argb & 0xFF);
                out.write((argb >>> 8) & 0xFF);
                out.write((argb >>> 16) & 0xFF);
                out.write(argb >>> 24);
            }
        }
        int maskRow = ((size + 31) / 32) * 4;
        out.write(new byte[maskRow * size], 0, maskRow * size);
        return out.toByteArray();
    }

    // The averaged samples of one pixel, as non-premultiplied ARGB.
    private static int pixel(int column, int row, int size) {
        double alpha = 0, red = 0, green = 0, blue = 0;
        for (int sy = 0; sy < SAMPLES; sy++) {
            for (int sx = 0; sx < SAMPLES; sx++) {
                double x = (column + (sx + 0.5) / SAMPLES) / size;
                double y = (row + (sy + 0.5) / SAMPLES) / size;
                int colour = sample(x, y);
                if (colour < 0) continue;  // outside the tile
                alpha += 1;
                red += (colour >> 16) & 0xFF;
                green += (colour >> 8) & 0xFF;
                blue += colour & 0xFF;
            }
        }
        if (alpha == 0) return 0;
        int a = (int) Math.round(255 * alpha / (SAMPLES * SAMPLES));
        return a << 24 | (int) Math.round(red / alpha) << 16 | (int) Math.round(green / alpha) << 8
                | (int) Math.round(blue / alpha);
    }

    // The colour at (x, y) of the unit square (y downwards), or -1 where
    // the rounded tile does not reach.
    private static int sample(double x, double y) {
        if (!insideRoundedSquare(x, y, 0.02, 0.98, 0.2)) return -1;
        boolean stem = x >= 0.43 && x <= 0.57 && y >= 0.30 && y <= 0.74;
        boolean bar = x >= 0.22 && x <= 0.78 && y >= 0.18 && y <= 0.32;
        if (stem || bar) return WHITE;
        if (x >= 0.26 && x <= 0.74 && y >= 0.78 && y <= 0.86) return AMBER;
        return blend(TEAL_TOP, TEAL_BOTTOM, y);
    }

    private static boolean insideRoundedSquare(double x, double y, double low, double high, double radius) {
        if (x < low || x > high || y < low || y > high) return false;
        double cx = Math.min(Math.max(x, low + radius), high - radius);
        double cy = Math.min(Math.max(y, low + radius), high - radius);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
    }

    private static int blend(int from, int to, double t) {
        int colour = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            int a = (from >> shift) & 0xFF;
            int b = (to >> shift) & 0xFF;
            colour |= (int) Math.round(a + (b - a) * t) << shift;
        }
        return colour;
    }

    private static void short16(ByteArrayOutputStream out, int value) {
        out.write(value & 0xFF);
        out.write((value >>> 8) & 0xFF);
    }

    private static void int32(ByteArrayOutputStream out, int value) {
        short16(out, value & 0xFFFF);
        short16(out, value >>> 16);
    }
}
