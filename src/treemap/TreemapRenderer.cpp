// SPDX-License-Identifier: MIT
#include "treemap/TreemapRenderer.h"

#include "platform/ParallelFor.h"
#include "treemap/Cushion.h"
#include "treemap/TreemapLayout.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kRootRidge = 0.38;
constexpr double kRidgeFactor = 0.91;
constexpr double kAmbient = 0.13;
constexpr double kDiffuse = 0.87;
constexpr double kGain = 1.4666666666666668;
constexpr double kCeiling = 255;
constexpr double kDimming = 0.35;
constexpr RGB kUnknownKind{0.62, 0.62, 0.62};
constexpr std::uint32_t kBackground = 0xFF808080u;
constexpr std::size_t kJobTarget = 255;

bool coversPixelCentre(const TMRect& r)
{
    return std::ceil(r.x0 - 0.5) < std::ceil(r.x1 - 0.5) && std::ceil(r.y0 - 0.5) < std::ceil(r.y1 - 0.5);
}

// A node whose children are painted instead of itself, before the size and rectangle
// checks; such a node with size 0 or a degenerate rectangle paints nothing at all.
bool opensAsFolder(const FileNode& node, bool showPackageContents)
{
    return node.isDirectory() && node.hasChildren()
        && (showPackageContents || !node.flags.contains(NodeFlags::Package));
}

// 0 … 255 after the ceiling, fraction dropped. Negative or NaN (only from colours
// outside 0 … 1 or absurd ridges) become 0 rather than spilling into other channels.
inline std::uint32_t channel(double v)
{
    if (v >= kCeiling)
        return 255;
    return v > 0 ? std::uint32_t(v) : 0;
}

void shadeLeaf(std::uint32_t* pixels, int width, const PixelSpan& span, const Surface& s, RGB color)
{
    // Per leaf: the scaled colour and the doubled quadratic terms; per row: the y terms.
    const double red = color.r * 255 * kGain;
    const double green = color.g * 255 * kGain;
    const double blue = color.b * 255 * kGain;
    const double a2 = 2 * s.a;
    const double b2 = 2 * s.b;
    for (int row = span.row0; row < span.row1; ++row) {
        const double y = row + 0.5;
        const double gy = s.d + b2 * y;
        const double gy2 = gy * gy;
        const double top = kLight.z - kLight.y * gy;
        std::uint32_t* out = pixels + std::size_t(row) * std::size_t(width);
        for (int col = span.col0; col < span.col1; ++col) {
            const double x = col + 0.5;
            const double gx = s.c + a2 * x;
            const double cosine = (top - kLight.x * gx) / std::sqrt(gy2 + gx * gx + 1);
            double intensity = 1.0;
            if (!(cosine > 1)) {
                const double t = kDiffuse * cosine;
                intensity = t < 0 ? kAmbient : t + kAmbient;
            }
            out[col] = 0xFF000000u | channel(red * intensity) << 16 | channel(green * intensity) << 8
                | channel(blue * intensity);
        }
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
        const FileNode& node = *job.node;
        if (!opensAsFolder(node, m_renderer.showPackageContents)) {
            shadeLeaf(m_pixels, m_width, span, job.surface, m_renderer.color(node));
            return true;
        }
        if (m_token.isCancelled())
            return false;
        if (node.size < 1 || job.rect.isDegenerate())
            return true;
        const std::size_t base = stack.size();
        const double childH = job.h * kRidgeFactor;
        Treemap::layoutChildren(node, job.rect, [&](FileNode* child, const TMRect& r) {
            if (!PixelSpan::of(r, m_width, m_height).isEmpty())
                stack.push_back(Job{child, r, job.surface, childH, false});
        });
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
bool expandJobs(std::vector<Job>& jobs, bool showPackageContents, const CancelToken& token)
{
    std::vector<Job> next;
    bool expanded = true;
    while (expanded && jobs.size() <= kJobTarget) {
        expanded = false;
        next.clear();
        next.reserve(jobs.size() * 4);
        for (const Job& job : jobs) {
            const FileNode& node = *job.node;
            if (!opensAsFolder(node, showPackageContents)) {
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
            Treemap::layoutChildren(node, job.rect, [&](FileNode* child, const TMRect& r) {
                if (coversPixelCentre(r))
                    next.push_back(Job{child, r, surface, childH, false});
            });
        }
        jobs.swap(next);
        if (token.isCancelled())
            return false;
    }
    return true;
}

} // namespace

RGB TreemapRenderer::color(const FileNode& node) const
{
    const std::int32_t k = node.kind;
    RGB c = (k < 0 || std::size_t(k) >= colors.size()) ? kUnknownKind : colors[std::size_t(k)];
    if (highlightKind && *highlightKind != k) {
        const double grey = (c.r + c.g + c.b) / 3 * kDimming;
        c = RGB{grey, grey, grey};
    }
    return c;
}

QImage TreemapRenderer::render(const FileNode* root, int width, int height, const CancelToken& token,
                               unsigned maxHelpers) const
{
    return render(root, width, height, token, [maxHelpers](std::size_t count, const std::function<void(std::size_t)>& body) {
        Dispatch::parallelFor(count, body, maxHelpers);
    });
}

QImage TreemapRenderer::render(const FileNode* root, int width, int height, const CancelToken& token,
                               const JobRunner& runJobs) const
{
    if (width < 1 || height < 1)
        return {};
    // The image is the pixel buffer: every early return below frees it.
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(kBackground);
    if (!root || root->size < 1)
        return image;

    std::vector<Job> jobs{Job{root, TMRect{0, 0, double(width), double(height)}, Surface{}, kRootRidge, true}};
    if (!expandJobs(jobs, showPackageContents, token))
        return {};

    // Rows are width × 4 bytes for 32-bit formats, so the words are contiguous.
    auto* pixels = reinterpret_cast<std::uint32_t*>(image.bits());
    const Painter painter(*this, pixels, width, height, token);
    const std::function<void(std::size_t)> body = [&](std::size_t i) { painter.draw(jobs[i]); };
    runJobs(jobs.size(), body);

    if (token.isCancelled())
        return {};
    return image;
}
