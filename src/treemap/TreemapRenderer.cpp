// SPDX-License-Identifier: MIT
#include "treemap/TreemapRenderer.h"

#include "model/Palette.h"
#include "platform/ParallelFor.h"
#include "treemap/Cushion.h"
#include "treemap/TreemapLayout.h"

#include <algorithm>
#include <cmath>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double kRootRidge = 0.38;
constexpr double kRidgeFactor = 0.91;
constexpr double kAmbient = 0.13;
constexpr double kDiffuse = 0.87;
constexpr double kGain = 1.4666666666666668;
constexpr double kCeiling = 255;
constexpr double kDimming = 0.35;
constexpr RGB kUnknownKind { 0.62, 0.62, 0.62 };
constexpr std::uint32_t kBackground = 0xFF808080u;
constexpr std::size_t kJobTarget = 255;

bool coversPixelCentre(const TMRect& r)
{
    return std::ceil(r.x0 - 0.5) < std::ceil(r.x1 - 0.5) && std::ceil(r.y0 - 0.5) < std::ceil(r.y1 - 0.5);
}

// False once the free part of a folder's rectangle holds no pixel centre, even widened
// by far more than the rounding by which a later child may poke past it: then no later
// child can paint anything, and the layout of a folder's tail of tiny files stops.
bool mayReachPixelCentre(const TMRect& freeRect)
{
    const double ex = 1e-9 * (std::abs(freeRect.x0) + std::abs(freeRect.x1) + 1);
    const double ey = 1e-9 * (std::abs(freeRect.y0) + std::abs(freeRect.y1) + 1);
    return std::ceil(freeRect.x0 - ex - 0.5) < std::ceil(freeRect.x1 + ex - 0.5)
        && std::ceil(freeRect.y0 - ey - 0.5) < std::ceil(freeRect.y1 + ey - 0.5);
}

// False for a row whose extent across holds no pixel centre: none of its children,
// which all share that extent, can paint anything. A flat folder's long tail of tiny
// files lies in such rows.
bool rowReachesPixelCentre(double from, double to)
{
    return std::ceil(from - 0.5) < std::ceil(to - 0.5);
}

// 0 … 255 after the ceiling, fraction dropped. Negative or NaN values (only from colours
// outside 0 … 1 or absurd ridges) become 0 rather than spilling into other channels.
inline std::uint32_t channel(double v)
{
    const double positive = 0.0 < v ? v : 0.0;
    const double capped = positive < kCeiling ? positive : kCeiling;
    return std::uint32_t(std::int32_t(capped));
}

// The per-leaf and per-row terms of the shading, and the pixel arithmetic itself.
struct LeafShader {
    double red, green, blue; // the colour scaled by 255 and the gain
    double a2, b2, c, d; // slope: gx = c + a2·x, gy = d + b2·y

    LeafShader(const Surface& s, RGB color)
        : red(color.r * 255 * kGain)
        , green(color.g * 255 * kGain)
        , blue(color.b * 255 * kGain)
        , a2(2 * s.a)
        , b2(2 * s.b)
        , c(s.c)
        , d(s.d)
    {
    }

    // One pixel at x given the row's terms; `top` = Lz − Ly·gy, `gy2` = gy².
    [[nodiscard]] std::uint32_t pixel(double x, double top, double gy2) const
    {
        const double gx = c + a2 * x;
        const double cosine = (top - kLight.x * gx) / std::sqrt(gy2 + gx * gx + 1);
        // t < 0 leaves the ambient term alone, which is adding max(t, 0).
        const double t = kDiffuse * cosine;
        const double intensity = cosine > 1 ? 1.0 : (0.0 < t ? t : 0.0) + kAmbient;
        return 0xFF000000u | channel(red * intensity) << 16 | channel(green * intensity) << 8
            | channel(blue * intensity);
    }

#if defined(__SSE2__)
    // Two pixels at x and x + 1, with the same operations in the same order as pixel(),
    // so the results are bit-identical; SSE2 is part of every x86-64 processor.
    void pixelPair(double x, __m128d top, __m128d gy2, std::uint32_t* out) const
    {
        const __m128d zero = _mm_setzero_pd();
        const __m128d one = _mm_set1_pd(1.0);
        const __m128d xs = _mm_set_pd(x + 1, x);
        const __m128d gx = _mm_add_pd(_mm_set1_pd(c), _mm_mul_pd(_mm_set1_pd(a2), xs));
        const __m128d num = _mm_sub_pd(top, _mm_mul_pd(_mm_set1_pd(kLight.x), gx));
        const __m128d den = _mm_sqrt_pd(_mm_add_pd(_mm_add_pd(gy2, _mm_mul_pd(gx, gx)), one));
        const __m128d cosine = _mm_div_pd(num, den);
        const __m128d t = _mm_mul_pd(_mm_set1_pd(kDiffuse), cosine);
        // maxpd returns its second operand when the first is NaN, as pixel() does.
        const __m128d lit = _mm_add_pd(_mm_max_pd(t, zero), _mm_set1_pd(kAmbient));
        const __m128d full = _mm_cmpgt_pd(cosine, one);
        const __m128d intensity = _mm_or_pd(_mm_and_pd(full, one), _mm_andnot_pd(full, lit));
        const auto level = [&](double scale) {
            const __m128d v = _mm_mul_pd(_mm_set1_pd(scale), intensity);
            return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, zero), _mm_set1_pd(kCeiling)));
        };
        __m128i word = _mm_set1_epi32(int(0xFF000000u));
        word = _mm_or_si128(word, _mm_slli_epi32(level(red), 16));
        word = _mm_or_si128(word, _mm_slli_epi32(level(green), 8));
        word = _mm_or_si128(word, level(blue));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), word);
    }
#endif
};

Job childJob(const FileNode* child, const TMRect& rect, const Surface& surface, double h,
    const TreemapRenderer& renderer, bool folderLit)
{
    return Job { child, rect, surface, h, false,
        TreeQueries::opensAsFolder(*child, renderer.showPackageContents), child->kind,
        renderer.lights(child, folderLit), child->mtime };
}

void shadeLeaf(std::uint32_t* pixels, int width, const PixelSpan& span, const Surface& s, RGB color)
{
    const LeafShader shader(s, color);
    for (int row = span.row0; row < span.row1; ++row) {
        const double y = row + 0.5;
        const double gy = shader.d + shader.b2 * y;
        const double gy2 = gy * gy;
        const double top = kLight.z - kLight.y * gy;
        std::uint32_t* out = pixels + std::size_t(row) * std::size_t(width);
        int col = span.col0;
#if defined(__SSE2__)
        const __m128d top2 = _mm_set1_pd(top);
        const __m128d gy22 = _mm_set1_pd(gy2);
        for (; col + 1 < span.col1; col += 2)
            shader.pixelPair(col + 0.5, top2, gy22, out + col);
#endif
        for (; col < span.col1; ++col)
            out[col] = shader.pixel(col + 0.5, top, gy2);
    }
}

// Paints one job's subtree on the calling thread. Depth-first with an explicit stack,
// so that a chain of any depth cannot exhaust a worker's stack; the stack is kept per
// thread between jobs, so drawing does not allocate once it has grown.
class Painter {
public:
    Painter(const TreemapRenderer& renderer, std::uint32_t* pixels, int width, int height,
        const CancelToken& token)
        : m_renderer(renderer)
        , m_pixels(pixels)
        , m_width(width)
        , m_height(height)
        , m_token(token)
    {
    }

    void draw(const Job& job) const
    {
        static thread_local std::vector<Job> stack;
        stack.clear();
        stack.push_back(job);
        while (!stack.empty()) {
            Job j = stack.back();
            stack.pop_back();
            if (!drawOne(j, stack)) {
                stack.clear();
                break;
            }
        }
        // A very deep or wide job should not pin its memory in the thread for good.
        if (stack.capacity() > kKeptStackFrames)
            std::vector<Job>().swap(stack);
    }

private:
    static constexpr std::size_t kKeptStackFrames = 1 << 14;

    // Paints a leaf or pushes a folder's children (to be drawn in child order). False
    // when the render was cancelled.
    bool drawOne(Job& job, std::vector<Job>& stack) const
    {
        const PixelSpan span = PixelSpan::of(job.rect, m_width, m_height);
        if (span.isEmpty())
            return true;
        if (!job.isRoot)
            job.surface.addRidge(job.rect, job.h);
        // A folder that opens paints its children instead of itself, before the size and
        // rectangle checks; with size 0 or a degenerate rectangle it paints nothing at all.
        if (!job.opens) {
            shadeLeaf(m_pixels, m_width, span, job.surface, m_renderer.color(job.kind, job.mtime, job.lit));
            return true;
        }
        const FileNode& node = *job.node;
        if (m_token.isCancelled())
            return false;
        if (node.size < 1 || job.rect.isDegenerate())
            return true;
        const std::size_t base = stack.size();
        const double childH = job.h * kRidgeFactor;
        Treemap::layoutChildren(
            node, job.rect,
            [&](FileNode* child, const TMRect& r) {
                if (!PixelSpan::of(r, m_width, m_height).isEmpty())
                    stack.push_back(childJob(child, r, job.surface, childH, m_renderer, job.lit));
            },
            mayReachPixelCentre, rowReachesPixelCentre);
        std::reverse(stack.begin() + std::ptrdiff_t(base), stack.end());
        return true;
    }

    const TreemapRenderer& m_renderer;
    std::uint32_t* m_pixels;
    int m_width;
    int m_height;
    const CancelToken& m_token;
};

// Cuts the tree breadth-first until there are more than kJobTarget jobs or nothing left
// to open. False when the render was cancelled meanwhile.
bool expandJobs(std::vector<Job>& jobs, const TreemapRenderer& renderer, const CancelToken& token)
{
    std::vector<Job> next;
    bool expanded = true;
    while (expanded && jobs.size() <= kJobTarget) {
        expanded = false;
        next.clear();
        next.reserve(jobs.size() * 4);
        for (const Job& job : jobs) {
            const FileNode& node = *job.node;
            if (!job.opens) {
                next.push_back(job);
                continue;
            }
            expanded = true;
            if (node.size < 1 || job.rect.isDegenerate())
                continue;
            Surface surface = job.surface;
            if (!job.isRoot)
                surface.addRidge(job.rect, job.h);
            const double childH = job.h * kRidgeFactor;
            Treemap::layoutChildren(
                node, job.rect,
                [&](FileNode* child, const TMRect& r) {
                    if (coversPixelCentre(r))
                        next.push_back(childJob(child, r, surface, childH, renderer, job.lit));
                },
                mayReachPixelCentre, rowReachesPixelCentre);
        }
        jobs.swap(next);
        if (token.isCancelled())
            return false;
    }
    return true;
}

// A new image filled with the background. A 4K image is over 30 MB of fresh pages that
// the kernel supplies on first touch, so the fill is shared out in bands.
QImage backgroundImage(int width, int height, unsigned maxHelpers)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    // Rows are width × 4 bytes for 32-bit formats, so the words are contiguous.
    auto* pixels = reinterpret_cast<std::uint32_t*>(image.bits());
    constexpr std::size_t kBandRows = 64;
    const std::size_t rows = std::size_t(height);
    const std::size_t w = std::size_t(width);
    Dispatch::parallelFor((rows + kBandRows - 1) / kBandRows,
        [&](std::size_t band) {
            const std::size_t end = std::min(rows, (band + 1) * kBandRows);
            std::fill(pixels + band * kBandRows * w, pixels + end * w, kBackground);
        },
        maxHelpers);
    return image;
}

QImage renderTree(const TreemapRenderer& renderer, const FileNode* root, int width, int height,
    const CancelToken& token, unsigned maxHelpers, const TreemapRenderer::JobRunner& runJobs)
{
    if (width < 1 || height < 1)
        return {};
    // The image is the pixel buffer: every early return below frees it.
    QImage image = backgroundImage(width, height, maxHelpers);
    if (image.isNull() || !root || root->size < 1)
        return image;

    // A zoom root inside a highlighted folder is lit all over.
    bool lit = false;
    for (const FileNode* up = root->parent; up && renderer.highlightItems && !lit; up = up->parent)
        lit = renderer.lights(up, false);
    Job top = childJob(
        root, TMRect { 0, 0, double(width), double(height) }, Surface {}, kRootRidge, renderer, lit);
    top.isRoot = true;
    std::vector<Job> jobs { top };
    if (!expandJobs(jobs, renderer, token))
        return {};

    const Painter painter(renderer, reinterpret_cast<std::uint32_t*>(image.bits()), width, height, token);
    // A flat folder gives a job per file: claimed one at a time, the threads would spend
    // more on the shared counter than on painting. Neighbours go in batches, still far
    // more of them than threads.
    constexpr std::size_t kBatches = 4 * (kJobTarget + 1);
    const std::size_t perBatch = std::max<std::size_t>(1, jobs.size() / kBatches);
    const std::function<void(std::size_t)> body = [&](std::size_t batch) {
        const std::size_t end = std::min(jobs.size(), (batch + 1) * perBatch);
        for (std::size_t i = batch * perBatch; i < end; ++i)
            painter.draw(jobs[i]);
    };
    runJobs((jobs.size() + perBatch - 1) / perBatch, body);

    if (token.isCancelled())
        return {};
    return image;
}

} // namespace

RGB TreemapRenderer::color(std::int32_t k, std::uint32_t mtime, bool lit) const
{
    RGB c;
    if (ageReference) // an unknown time (0) shows as an unknown kind does
        c = mtime == 0 ? kUnknownKind
                       : Palette::ageColor(Palette::ageFraction(double(*ageReference - std::int64_t(mtime))));
    else
        c = (k < 0 || std::size_t(k) >= colors.size()) ? kUnknownKind : colors[std::size_t(k)];
    if ((highlightKind && *highlightKind != k) || (highlightItems && !lit)) {
        const double grey = (c.r + c.g + c.b) / 3 * kDimming;
        c = RGB { grey, grey, grey };
    }
    return c;
}

QImage TreemapRenderer::render(
    const FileNode* root, int width, int height, const CancelToken& token, unsigned maxHelpers) const
{
    return renderTree(*this, root, width, height, token, maxHelpers,
        [maxHelpers](std::size_t count, const std::function<void(std::size_t)>& body) {
            Dispatch::parallelFor(count, body, maxHelpers);
        });
}

QImage TreemapRenderer::render(
    const FileNode* root, int width, int height, const CancelToken& token, const JobRunner& runJobs) const
{
    return renderTree(*this, root, width, height, token, ~0u, runJobs);
}
