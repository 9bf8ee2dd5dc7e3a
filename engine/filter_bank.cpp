#include "filter_bank.h"

#include <cmath>
#include <vector>

// Daubechies' extremal-phase orthonormal scaling filters h(0)..h(2N-1) for
// N = 2..10 vanishing moments, normalised to sum to sqrt(2). Computed at 60
// significant digits by spectral factorisation: the roots y of
// P(y) = sum_{k<N} C(N-1+k, k) y^k were found by Durand-Kerner iteration, each
// mapped to the root of z^2 - (2 - 4y) z + 1 = 0 inside the unit circle, and
// the product (1 + z^-1)^N * prod (1 - z_k z^-1) was normalised; the values
// below are those results rounded to the nearest double.
const double kDaubechiesTable[kDaubechiesTableSize] = {
    // order 2
    0.48296291314453416,
    0.8365163037378079,
    0.2241438680420134,
    -0.12940952255126037,
    // order 3
    0.33267055295008263,
    0.8068915093110925,
    0.45987750211849154,
    -0.13501102001025458,
    -0.08544127388202666,
    0.03522629188570953,
    // order 4
    0.2303778133088965,
    0.7148465705529157,
    0.6308807679298589,
    -0.027983769416859854,
    -0.18703481171909309,
    0.030841381835560764,
    0.0328830116668852,
    -0.010597401785069032,
    // order 5
    0.16010239797419293,
    0.6038292697971896,
    0.7243085284377729,
    0.13842814590132074,
    -0.24229488706638203,
    -0.032244869584638375,
    0.07757149384004572,
    -0.006241490212798274,
    -0.012580751999081999,
    0.0033357252854737712,
    // order 6
    0.11154074335010947,
    0.49462389039845306,
    0.7511339080210954,
    0.31525035170919763,
    -0.22626469396543983,
    -0.12976686756726194,
    0.09750160558732304,
    0.027522865530305727,
    -0.03158203931748603,
    0.0005538422011614961,
    0.004777257510945511,
    -0.0010773010853084796,
    // order 7
    0.07785205408500918,
    0.3965393194819173,
    0.7291320908462351,
    0.4697822874051931,
    -0.14390600392856498,
    -0.22403618499387498,
    0.07130921926683026,
    0.08061260915108308,
    -0.03802993693501441,
    -0.01657454163066688,
    0.01255099855609984,
    0.0004295779729213665,
    -0.0018016407040474908,
    0.00035371379997452024,
    // order 8
    0.05441584224310401,
    0.31287159091429995,
    0.6756307362972898,
    0.5853546836542067,
    -0.015829105256349306,
    -0.2840155429615469,
    0.0004724845739132828,
    0.12874742662047847,
    -0.017369301001807547,
    -0.044088253930794755,
    0.013981027917398282,
    0.008746094047405777,
    -0.004870352993451574,
    -0.00039174037337694705,
    0.0006754494064505693,
    -0.00011747678412476953,
    // order 9
    0.038077947363878345,
    0.24383467461259034,
    0.6048231236901112,
    0.6572880780513005,
    0.13319738582500756,
    -0.2932737832791749,
    -0.09684078322297646,
    0.14854074933810638,
    0.03072568147933338,
    -0.06763282906132997,
    0.00025094711483145197,
    0.022361662123679096,
    -0.004723204757751397,
    -0.00428150368246343,
    0.0018476468830562265,
    0.00023038576352319597,
    -0.0002519631889427101,
    3.93473203162716e-05,
    // order 10
    0.026670057900555554,
    0.1881768000776915,
    0.5272011889317256,
    0.6884590394536035,
    0.2811723436605775,
    -0.24984642432731538,
    -0.19594627437737705,
    0.12736934033579325,
    0.09305736460357235,
    -0.07139414716639708,
    -0.029457536821875813,
    0.033212674059341,
    0.0036065535669561697,
    -0.010733175483330575,
    0.001395351747052901,
    0.001992405295185056,
    -0.0006858566949597116,
    -0.00011646685512928545,
    9.358867032006959e-05,
    -1.3264202894521244e-05,
};

namespace {

// Offset of the first coefficient of an order in the table.
int table_offset(int order) {
  int offset = 0;
  for (int n = 2; n < order; ++n) offset += 2 * n;
  return offset;
}

}  // namespace

void set_daubechies(FilterState& state, int order) {
  if (order < 2 || order > 10) throw "set_daubechies() : Illigal Daubechies coefficient.\n";
  build_daubechies(state.filters, order);
}

bool build_daubechies(FilterBank& bank, int order) {
  const double s = std::sqrt(2.0);
  if (order < 2 || order > 10) return false;
  const int taps = 2 * order;
  const double* h = kDaubechiesTable + table_offset(order);

  std::vector<double> lo;
  lo.reserve(taps);
  for (int k = 0; k < taps; ++k) lo.push_back(s * h[k]);
  std::vector<double> hi;
  hi.reserve(taps);
  for (int g = 0; g < taps; ++g) {
    const double v = lo[taps - 1 - g];
    hi.push_back(g % 2 == 0 ? -v : v);
  }

  for (int k = 0; k < taps; ++k) {
    bank.analysis_low[k] = static_cast<float>(lo[k] * 0.5);
    bank.analysis_high[k] = static_cast<float>(hi[k] * 0.5);
    bank.synthesis_low[k] = static_cast<float>(lo[taps - 1 - k] * 0.5);
    bank.synthesis_high[k] = static_cast<float>(hi[taps - 1 - k] * 0.5);
  }
  return true;
}
