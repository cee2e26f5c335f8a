/* The crop, shrink and sharpen pipeline of bench/tiff_pipeline.sh in one
 * process through libvips's C API, as its own benchmark runs it: load a TIFF,
 * crop 100 pixels from every edge, shrink to 90 % with the linear kernel,
 * convolve with the 3x3 sharpening mask (integer precision), save as an
 * uncompressed TIFF. The thread count comes from VIPS_CONCURRENCY.
 *
 *   vips_pipeline IN.tif OUT.tif
 */
#include <stdio.h>
#include <vips/vips.h>

int main(int argc, char **argv) {
  VipsImage *in, *crop, *small, *mask, *sharp;
  static const double kMask[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
  int w, h;

  if (VIPS_INIT(argv[0])) vips_error_exit(NULL);
  if (argc != 3) {
    fprintf(stderr, "usage: vips_pipeline IN.tif OUT.tif\n");
    return 2;
  }
  if (!(in = vips_image_new_from_file(argv[1], "access", VIPS_ACCESS_SEQUENTIAL, NULL))) vips_error_exit(NULL);
  w = vips_image_get_width(in);
  h = vips_image_get_height(in);
  if (vips_crop(in, &crop, 100, 100, w - 200, h - 200, NULL)) vips_error_exit(NULL);
  if (vips_resize(crop, &small, 0.9, "kernel", VIPS_KERNEL_LINEAR, NULL)) vips_error_exit(NULL);
  if (!(mask = vips_image_new_matrix_from_array(3, 3, kMask, 9))) vips_error_exit(NULL);
  vips_image_set_double(mask, "scale", 1);
  if (vips_conv(small, &sharp, mask, "precision", VIPS_PRECISION_INTEGER, NULL)) vips_error_exit(NULL);
  if (vips_tiffsave(sharp, argv[2], NULL)) vips_error_exit(NULL);
  g_object_unref(sharp);
  g_object_unref(mask);
  g_object_unref(small);
  g_object_unref(crop);
  g_object_unref(in);
  vips_shutdown();
  return 0;
}
