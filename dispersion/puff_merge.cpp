#include "dispersion/puff_merge.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "run/particle_types.hpp"

namespace orv {

PuffKey puff_key(const ParticleArrays& p, int32_t i, float mass_limit) {
    PuffKey k;
    k.x = p.particle_x[i];
    k.y = p.particle_y[i];
    k.z = p.particle_z[i];
    k.sigma_h = p.particle_sigma_h[i];
    k.sigma_z = p.particle_sigma_z[i];
    k.mass = entry_mass(p, i);
    k.big = mass_limit > 0.0f && k.mass > mass_limit ? 1.0f : 0.0f;
    k.mode = distribution_mode(p.particle_hdwp[i]);
    k.pollutant = p.particle_pollutant[i];
    k.grid = p.particle_grid[i];
    return k;
}

namespace {

// One key of the test with a tolerance: -1 when B must come first, 0 when B
// comes after A, 1 when the two agree within the tolerance.
int32_t within(float a, float b, float tolerance) {
    const float d = b - a;
    if (d < -tolerance) return -1;
    if (std::fabs(d) >= tolerance) return 0;
    return 1;
}

}  // namespace

PuffComparison compare_puffs(const MergeFactors& f, float delta, const PuffKey& a, const PuffKey& b) {
    PuffComparison c;
    const float sigma_min = std::min(a.sigma_h, b.sigma_h);
    const float dh = delta > 0.0f ? f.horizontal * sigma_min / delta : 0.0f;
    float dv = 0.0f;
    if (a.mode == b.mode) {
        if (is_vertical_puff(a.mode))
            dv = std::min(a.sigma_z, b.sigma_z) * f.vertical;
        else if (a.sigma_z == 0.0f || b.sigma_z == 0.0f)
            dv = std::min(0.1f * sigma_min / f.model_top, 0.1f) * f.vertical;
    }
    if (b.mode != a.mode) {
        c.order = b.mode < a.mode ? -1 : 0;
        return c;
    }
    if (b.pollutant != a.pollutant) {
        c.order = b.pollutant < a.pollutant ? -1 : 0;
        return c;
    }
    // Puffs on different meteorological grids have unrelated positions.
    if (b.grid != a.grid) {
        c.order = b.grid < a.grid ? -1 : 0;
        return c;
    }
    int32_t t = within(a.sigma_h, b.sigma_h, f.sigma * sigma_min);
    if (t < 1) {
        c.order = t;
        return c;
    }
    if (b.big != a.big) {
        c.order = b.big < a.big ? -1 : 0;
        return c;
    }
    for (const auto& [va, vb, tol] : {std::tuple{a.z, b.z, dv}, std::tuple{a.x, b.x, dh}}) {
        t = within(va, vb, tol);
        if (t < 1) {
            c.order = t;
            return c;
        }
    }
    const float dy = b.y - a.y;
    if (dy < -dh) {
        c.order = -1;
        return c;
    }
    if (std::fabs(dy) < dh) c.merge = -1;
    return c;
}

namespace {

// The cell size (m) of an entry's meteorological grid (0 when it has none).
float cell_size(std::span<const float> grid_size_km, int32_t grid) {
    if (grid < 1 || static_cast<size_t>(grid) > grid_size_km.size()) return 0.0f;
    return grid_size_km[static_cast<size_t>(grid - 1)] * 1000.0f;
}

// Bottom-up merge sort of records[0..n), each carrying its entry number:
// runs of width 1, 2, 4, ... are merged pairwise, from one buffer into the
// other; the right record is taken only when `before(left, right)` says it
// must come first, so equal records keep their order. The test need not be a
// consistent ordering: the result is the one this sequence of comparisons
// gives. Records move whole, so each pass reads and writes memory in order.
// Returns the buffer that holds the result.
template <typename Record, typename Before>
Record* merge_sort_records(Record* records, Record* spare, int32_t n, Before before) {
    Record* in = records;
    Record* out = spare;
    for (int32_t w = 1; w < n; w *= 2) {
        for (int32_t lo = 0; lo < n; lo += 2 * w) {
            const int32_t mid = std::min(lo + w, n), hi = std::min(lo + 2 * w, n);
            int32_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) out[k++] = before(in[i], in[j]) ? in[j++] : in[i++];
            while (i < mid) out[k++] = in[i++];
            while (j < hi) out[k++] = in[j++];
        }
        std::swap(in, out);
    }
    return in;
}

// The records of the sort keys (entry numbers 1..n) in their present order,
// make(i) giving the record of entry i (0-based).
template <typename Record, typename Make>
void fill_records(const ParticleArrays& p, int32_t n, Record* records, Make make) {
    for (int32_t k = 0; k < n; ++k) {
        const int32_t entry = p.particle_sort_key[k];
        records[k] = make(entry - 1);
        records[k].entry = entry;
    }
}

template <typename Record>
void store_order(const Record* sorted, int32_t n, ParticleArrays& p) {
    for (int32_t k = 0; k < n; ++k) p.particle_sort_key[k] = sorted[k].entry;
}

void fill_keys(const ParticleArrays& p, int32_t n, float mass_limit, PuffWork& work) {
    for (int32_t i = 0; i < n; ++i) work.keys[i] = puff_key(p, i, mass_limit);
}

// Sort keys name entries 1..n; anything else would index outside the arrays.
bool valid_order(const ParticleArrays& p, int32_t n) {
    for (int32_t k = 0; k < n; ++k)
        if (p.particle_sort_key[k] < 1 || p.particle_sort_key[k] > n) return false;
    return true;
}

}  // namespace

void pufsrt(const MergeFactors& f, ParticleArrays& p, std::span<const float> grid_size_km, PuffWork& work,
            TextOut& console) {
    const int32_t n = p.particle_count;
    if (n <= 1 || !valid_order(p, n)) return;
    work.ensure(p, n, "pufsrt", console);
    work.ensure_sort_records(p, n, "pufsrt", console);
    // The keys are made in entry order, then taken in sort order: one scattered
    // read per entry, not one per particle array.
    fill_keys(p, n, f.mass_limit, work);
    const PuffKey* keys = work.keys.data();
    PuffSortRecord* records = work.sort_records.data();
    fill_records(p, n, records, [&](int32_t i) { return PuffSortRecord{keys[i], 0}; });
    const PuffSortRecord* sorted =
        merge_sort_records(records, records + n, n, [&](const PuffSortRecord& left, const PuffSortRecord& right) {
            const PuffKey& a = left.key;
            return compare_puffs(f, cell_size(grid_size_km, a.grid), a, right.key).order == -1;
        });
    store_order(sorted, n, p);
}

namespace {

// Joins the entries at sort positions first..last (inclusive) into the first.
void join_group(ParticleArrays& p, int32_t first, int32_t last, const PuffKey* keys, PuffWork& work) {
    const int32_t head = p.particle_sort_key[first] - 1;
    float* sums = work.group_mass.data();
    std::fill_n(sums, p.maxdim, 0.0f);
    float total = 0.0f;
    for (int32_t k = first; k <= last; ++k) total += keys[p.particle_sort_key[k] - 1].mass;
    // A group without positive mass takes plain means.
    const bool weighted = total > 0.0f;
    const float count = static_cast<float>(last - first + 1);
    float x = 0.0f, y = 0.0f, z = 0.0f, sh = 0.0f, sz = 0.0f, age = 0.0f;
    for (int32_t k = first; k <= last; ++k) {
        const int32_t e = p.particle_sort_key[k] - 1;
        const float w = weighted ? keys[e].mass : 1.0f;
        for (int32_t s = 0; s < p.maxdim; ++s) sums[s] += p.mass(s, e);
        x += w * p.particle_x[e];
        y += w * p.particle_y[e];
        z += w * p.particle_z[e];
        sh += w * p.particle_sigma_h[e];
        sz += w * p.particle_sigma_z[e];
        age += w * static_cast<float>(std::abs(p.particle_age[e]));
        if (k > first) p.particle_grid[e] = 0;
    }
    const float norm = weighted ? total : count;
    for (int32_t s = 0; s < p.maxdim; ++s) p.mass(s, head) = sums[s];
    p.particle_x[head] = x / norm;
    p.particle_y[head] = y / norm;
    p.particle_z[head] = z / norm;
    p.particle_sigma_h[head] = sh / norm;
    p.particle_sigma_z[head] = sz / norm;
    const float mean_age = age / norm;
    p.particle_age[head] = std::isfinite(mean_age) && std::fabs(mean_age) < 2.0e9f
                               ? static_cast<int32_t>(std::lround(mean_age))
                               : p.particle_age[head];
}

}  // namespace

void pufmrg(const MergeFactors& f, ParticleArrays& p, std::span<const float> grid_size_km, PuffWork& work,
            TextOut& console) {
    const int32_t n = p.particle_count;
    if (n <= 1 || !valid_order(p, n)) return;
    int32_t i = 0;
    auto puff_mode = [&](int32_t pos) { return distribution_mode(p.particle_hdwp[p.particle_sort_key[pos] - 1]); };
    while (i < n && (puff_mode(i) < kGaussianPuff || puff_mode(i) > kTopHatHorizontalPuff)) ++i;
    if (n - i < 2) return;
    work.ensure(p, n, "pufmrg", console);
    fill_keys(p, n, f.mass_limit, work);
    const PuffKey* keys = work.keys.data();
    while (i < n - 1) {
        const PuffKey& a = keys[p.particle_sort_key[i] - 1];
        const float delta = cell_size(grid_size_km, a.grid);
        int32_t last = i;
        bool big = false;
        for (int32_t j = i + 1; j < n; ++j) {
            const PuffKey& b = keys[p.particle_sort_key[j] - 1];
            const PuffComparison c = compare_puffs(f, delta, a, b);
            big = a.big > 0.0f || b.big > 0.0f;
            if (c.merge != -1) break;
            last = j;
        }
        if (big) return;
        if (last > i) join_group(p, i, last, keys, work);
        i = last + 1;
    }
}

namespace {

// The mass level for a fraction: walking up from the smallest entry while
// the running sum stays within the limit, the mass of the entry before the
// last one examined. Entries of exactly that mass further up would be removed
// with it; when they would take the removed mass over the limit, the level
// drops below their mass.
float mass_level(const ParticleArrays& p, int32_t n, const PuffKey* keys, float limit) {
    auto mass_at = [&](int32_t pos) { return keys[p.particle_sort_key[pos] - 1].mass; };
    float sum = 0.0f;
    int32_t last = 0;
    for (int32_t k = 0; k < n; ++k) {
        last = k;
        sum += mass_at(k);
        if (!(sum <= limit)) break;
    }
    if (last == 0) return 0.0f;
    int32_t pos = last - 1;
    const float level = mass_at(pos);
    float removed = 0.0f;
    int32_t end = 0;
    while (end < n && mass_at(end) <= level) removed += mass_at(end++);
    if (removed <= limit) return level;
    while (pos >= 0 && mass_at(pos) == level) --pos;
    return pos >= 0 ? mass_at(pos) : 0.0f;
}

}  // namespace

MassLevels pufmin(ParticleArrays& p, float total, float f1, float f2, PuffWork& work, TextOut& console) {
    MassLevels levels;
    const int32_t n = p.particle_count;
    if (n <= 1 || !valid_order(p, n)) return levels;
    work.ensure(p, n, "pufmin", console);
    work.ensure_sort_records(p, n, "pufmin", console);
    fill_keys(p, n, 0.0f, work);
    const PuffKey* keys = work.keys.data();
    MassSortRecord* records = work.mass_records.data();
    fill_records(p, n, records, [&](int32_t i) { return MassSortRecord{keys[i].mass, 0}; });
    const MassSortRecord* sorted = merge_sort_records(
        records, records + n, n,
        [](const MassSortRecord& left, const MassSortRecord& right) { return right.mass < left.mass; });
    store_order(sorted, n, p);
    if (f1 * total >= 0.0f) levels.m1 = mass_level(p, n, keys, f1 * total);
    if (f2 * total >= 0.0f) levels.m2 = mass_level(p, n, keys, f2 * total);
    return levels;
}

}  // namespace orv
