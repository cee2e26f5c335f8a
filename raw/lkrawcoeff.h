// Colour matrices that identification installs for some cameras: each
// builder fills the state's 3 × 4 matrix (rows red, green, blue over the
// sensor colours) and sets its matrix flag.
#pragma once

#include "raw/lkrawstate.h"

/// Four-colour (cyan, magenta, yellow, green) sensors: each three of the
/// sensor colours' responses are inverted and the inverses summed, then each
/// row is normalised to a sum of 1.
void cmyg_coeff_from_table(TRAWDecoderState& s);
/// Kodak DC20: `factor` × the camera's own matrix + (1 - factor) × a plain
/// colour separation.
void kodak_dc20_coeff(TRAWDecoderState& s, float factor);
/// Sony DSC-F828 four-colour sensor.
void sony_coeff(TRAWDecoderState& s);
/// Nikon Coolpix four-colour sensors.
void nikon_coolpix_coeff(TRAWDecoderState& s);
/// Foveon sensors: a fixed 3 × 3 matrix scaled row by row by the multipliers.
void foveon_coeff(TRAWDecoderState& s);
