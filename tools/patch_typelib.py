#!/usr/bin/env python3
"""Post-processes the type library that widl writes for zuvXCHandler.

widl gets a few things wrong for this library, and they matter to hosts that
call the interfaces through their vtables or read the library's flags:

* Reserved vtable entries.  The IDL keeps a slot with a `[local]` placeholder
  method (Reserved...).  widl leaves local methods out of the type library and
  closes the gap: every later function gets a vtable offset one pointer too
  low, and cbSizeVft is too small.  The patch gives every described function
  the offset of its position in the IDL's function table (placeholders
  included) and sets cbSizeVft to the full table.
* Type flags.  widl sets no nonextensible flag on dispinterfaces; the patch
  sets the flags listed in REQUIRED_FLAGS.

It also refuses libraries that would ship wrong without a visible error: a
library identifier that differs from the IDL's, and types with names widl
generated (an untagged `typedef [uuid(...)] enum {...} Name;` becomes an enum
named __WIDL_... plus an alias Name carrying the GUID: the IDL tags each
enumeration with its own name instead).

The file format is the MSFT type library format (header, segment directory,
typeinfo table, per-typeinfo function records).  The script checks what it
expects to find and fails loudly if widl's output ever changes shape.

Usage:
  patch_typelib.py --idl zuvXCHandler.idl IN.tlb OUT.tlb
  patch_typelib.py --dump FILE.tlb      (human-readable listing)
"""
import argparse
import re
import struct
import sys
import uuid

TKIND = ['ENUM', 'RECORD', 'MODULE', 'INTERFACE', 'DISPATCH', 'COCLASS',
         'ALIAS', 'UNION']
TKIND_DISPATCH, TKIND_COCLASS, TKIND_ALIAS = 4, 5, 6

FHIDDEN, FDUAL, FNONEXTENSIBLE = 0x10, 0x40, 0x80

# Flags every listed typeinfo must carry after the patch (added, never removed).
REQUIRED_FLAGS = {
    '__xMenu': FHIDDEN | FNONEXTENSIBLE,
    '__xToolBar': FHIDDEN | FNONEXTENSIBLE,
}

SYS_WIN32, SYS_WIN64 = 1, 3
SEGMENTS = ['TypeInfoTab', 'ImpInfo', 'ImpFiles', 'RefTab', 'GuidHashTab',
            'GuidTab', 'NameHashTab', 'NameTab', 'StringTab', 'TypdescTab',
            'ArrayDesc', 'CustData', 'CDGuids', 'Res0e', 'Res0f']
TYPEINFO_SIZE = 0x64
GUID_ENTRY_SIZE = 24
IDISPATCH_ENTRIES = 7


class TlbError(Exception):
    pass


class Typelib:
    """Read access to an MSFT type library plus in-place writes."""

    def __init__(self, data):
        self.data = bytearray(data)
        if self.data[:4] != b'MSFT':
            raise TlbError('not an MSFT type library')
        (self.posguid, self.lcid, self.lcid2, self.varflags, self.version,
         self.flags, self.ntypeinfos, self.helpstring, self.helpstringctx,
         self.helpctx, self.nametablecount, self.nametablechars,
         self.nameoffset, self.helpfile, self.custdata, _, _,
         self.dispatchpos, self.nimpinfos) = struct.unpack_from('<19i', self.data, 8)
        pos = 0x54
        if self.varflags & 0x100:  # help dll string follows the header
            pos += 4
        self.typeinfo_offsets = list(struct.unpack_from('<%di' % self.ntypeinfos, self.data, pos))
        pos += 4 * self.ntypeinfos
        self.segs = {}
        for name in SEGMENTS:
            off, length, _, _ = struct.unpack_from('<4i', self.data, pos)
            self.segs[name] = (off, length)
            pos += 16
        self.syskind = self.varflags & 0xf
        if self.syskind == SYS_WIN32:
            self.ptr_size = 4
        elif self.syskind == SYS_WIN64:
            self.ptr_size = 8
        else:
            raise TlbError('unexpected syskind %d' % self.syskind)

    # ---- raw helpers -----------------------------------------------------
    def i32(self, off):
        return struct.unpack_from('<i', self.data, off)[0]

    def i16(self, off):
        return struct.unpack_from('<h', self.data, off)[0]

    def put_i32(self, off, value):
        struct.pack_into('<i', self.data, off, value)

    def put_i16(self, off, value):
        struct.pack_into('<h', self.data, off, value)

    def seg(self, name):
        return self.segs[name][0]

    def name(self, off):
        if off < 0:
            return None
        base = self.seg('NameTab') + off
        length = self.i32(base + 8) & 0xff
        return self.data[base + 12:base + 12 + length].decode('latin-1')

    def string(self, off):
        if off < 0:
            return None
        base = self.seg('StringTab') + off
        length = self.i16(base)
        return self.data[base + 2:base + 2 + length].decode('latin-1')

    def guid(self, off):
        if off < 0:
            return None
        base = self.seg('GuidTab') + off
        return str(uuid.UUID(bytes_le=bytes(self.data[base:base + 16]))).upper()

    def guid_entries(self):
        off, length = self.segs['GuidTab']
        for pos in range(0, length, GUID_ENTRY_SIZE):
            yield pos, self.guid(pos), self.i32(off + pos + 16)

    # ---- typeinfos ---------------------------------------------------------
    def typeinfo_base(self, index):
        return self.seg('TypeInfoTab') + index * TYPEINFO_SIZE

    def typeinfo(self, index):
        b = self.typeinfo_base(index)
        t = dict(index=index, base=b)
        t['typekind_raw'] = self.i32(b)
        t['kind'] = t['typekind_raw'] & 0xf
        t['memoffset'] = self.i32(b + 0x04)
        celement = self.i32(b + 0x18)
        t['cFuncs'] = celement & 0xffff
        t['cVars'] = (celement >> 16) & 0xffff
        t['posguid'] = self.i32(b + 0x2c)
        t['flags'] = self.i32(b + 0x30)
        t['nameoffset'] = self.i32(b + 0x34)
        t['name'] = self.name(t['nameoffset'])
        t['version'] = self.i32(b + 0x38)
        t['doc'] = self.string(self.i32(b + 0x3c))
        t['cImplTypes'] = self.i16(b + 0x4c)
        t['cbSizeVft'] = self.i16(b + 0x4e)
        t['size'] = self.i32(b + 0x50)
        t['datatype1'] = self.i32(b + 0x54)
        t['datatype2'] = self.i32(b + 0x58)
        t['guid'] = self.guid(t['posguid'])
        return t

    def typeinfos(self):
        return [self.typeinfo(i) for i in range(self.ntypeinfos)]

    def find(self, name):
        found = [t for t in self.typeinfos() if t['name'] == name]
        if len(found) != 1:
            raise TlbError('%d typeinfos named %s' % (len(found), name))
        return found[0]

    def functions(self, t):
        """Function records of a typeinfo: name, memid, vtable offset field."""
        if t['cFuncs'] == 0:
            return []
        start = t['memoffset']
        infolen = self.i32(start)
        ids = start + 4 + infolen
        count = t['cFuncs'] + t['cVars']
        pos = start + 4
        funcs = []
        for i in range(t['cFuncs']):
            reclen = self.i32(pos) & 0xffff
            nargs = self.i16(pos + 0x14)
            f = dict(pos=pos, reclen=reclen, nargs=nargs,
                     rettype=self.i32(pos + 4), funcflags=self.i32(pos + 8) & 0xffff,
                     vtoff=self.i16(pos + 0x0c), fkccic=self.i32(pos + 0x10),
                     noptargs=self.i16(pos + 0x16),
                     memid=self.i32(ids + 4 * i),
                     name=self.name(self.i32(ids + 4 * (count + i))))
            f['funckind'] = f['fkccic'] & 7
            f['invkind'] = (f['fkccic'] >> 3) & 0xf
            params = []
            pbase = pos + reclen - 12 * nargs
            for a in range(nargs):
                dt, oname, pflags = struct.unpack_from('<3i', self.data, pbase + 12 * a)
                params.append(dict(type=dt, name=self.name(oname), flags=pflags))
            if f['fkccic'] & 0x1000:
                dbase = pos + reclen - 16 * nargs
                for a in range(nargs):
                    params[a]['default'] = self.i32(dbase + 4 * a)
            f['params'] = params
            funcs.append(f)
            pos += reclen
        return funcs

    def impltypes(self, t):
        """(href, impltypeflags) of a coclass' implemented interfaces."""
        out = []
        if t['kind'] == TKIND_COCLASS:
            off = t['datatype1']
            while off >= 0:
                rec = self.seg('RefTab') + off
                out.append((self.i32(rec), self.i32(rec + 4)))
                off = self.i32(rec + 12)
        elif t['cImplTypes']:
            out.append((t['datatype1'], 0))
        return out

    def href_name(self, href):
        if href == -1:
            return '-'
        if href & 1:  # imported type
            imp = self.seg('ImpInfo') + (href & ~3)
            flags, ofile, oguid = struct.unpack_from('<3i', self.data, imp)
            fbase = self.seg('ImpFiles') + ofile
            libguid = self.guid(self.i32(fbase))
            what = self.guid(oguid) if flags & 0x10000 else '#%d' % oguid
            return 'import{%s}:%s' % (libguid, what)
        if href % TYPEINFO_SIZE == 0 and href // TYPEINFO_SIZE < self.ntypeinfos:
            return self.typeinfo(href // TYPEINFO_SIZE)['name']
        return 'href?%#x' % href

    def typedesc(self, code):
        """Readable form of a type code (base type or typedesc-table offset)."""
        if code < 0:
            return 'vt%d' % (code & 0xfff)
        base = self.seg('TypdescTab') + code
        vt = self.i16(base) & 0xfff
        ref = self.i32(base + 4)
        if vt == 26:  # VT_PTR
            return self.typedesc(ref) + '*'
        if vt == 29:  # VT_USERDEFINED
            return self.href_name(ref)
        return 'vt%d(%#x)' % (vt, ref)


# ---- IDL: function tables of the interfaces ----------------------------------
def strip_comments(text):
    text = re.sub(r'/\*.*?\*/', '', text, flags=re.S)
    return re.sub(r'//[^\n]*', '', text)


def idl_function_tables(idl_text):
    """{interface: [(method, is_local), ...]} for every interface : IDispatch
    with a body, in declaration order (placeholders included)."""
    text = strip_comments(idl_text)
    tables = {}
    for m in re.finditer(r'\binterface\s+(\w+)\s*:\s*IDispatch\s*\{', text):
        depth, i = 1, m.end()
        while depth:
            depth += {'{': 1, '}': -1}.get(text[i], 0)
            i += 1
        body = text[m.end():i - 1]
        entries = []
        for stmt in body.split(';'):
            stmt = stmt.strip()
            if not stmt:
                continue
            sm = re.match(r'(\[[^\[\]]*\])?\s*\w+\s+(\w+)\s*\(', stmt)
            if not sm:
                raise TlbError('cannot read IDL member: %r' % stmt[:60])
            attrs = sm.group(1) or ''
            entries.append((sm.group(2), bool(re.search(r'\blocal\b', attrs))))
        tables[m.group(1)] = entries
    return tables


def idl_library_uuid(idl_text):
    """The uuid in the attribute list of the library block."""
    m = re.search(r'\[([^\[\]]*)\]\s*library\s+\w+', strip_comments(idl_text))
    u = m and re.search(r'uuid\(\s*([0-9A-Fa-f-]{36})\s*\)', m.group(1))
    if not u:
        raise TlbError('no library uuid in the IDL')
    return u.group(1).upper()


# ---- patches ---------------------------------------------------------------------
def reopen_reserved_slots(tlb, tables, log):
    """Gives every function of every dual interface the vtable offset of its
    position in the IDL (placeholders included) and the interface the size
    of its whole function table."""
    ptr = tlb.ptr_size
    for iface, entries in tables.items():
        t = tlb.find(iface)
        if not (t['kind'] == TKIND_DISPATCH and t['flags'] & FDUAL):
            raise TlbError('%s: expected a dual interface, found typekind %d' % (iface, t['kind']))
        funcs = tlb.functions(t)
        described = [slot for slot, (_, local) in enumerate(entries) if not local]
        if [f['name'] for f in funcs] != [entries[slot][0] for slot in described]:
            raise TlbError('%s: functions in the library do not match the IDL' % iface)
        gaps = 0
        for index, (f, slot) in enumerate(zip(funcs, described)):
            gaps = slot - index
            want = (IDISPATCH_ENTRIES + slot) * ptr
            # widl numbers the described functions consecutively; any other
            # offset means its output changed shape: stop rather than guess.
            widl = (IDISPATCH_ENTRIES + index) * ptr
            if f['vtoff'] not in (want, widl):
                raise TlbError('%s.%s: unexpected vtable offset %d' % (iface, f['name'], f['vtoff']))
            tlb.put_i16(f['pos'] + 0x0c, want)
        size = (IDISPATCH_ENTRIES + len(entries)) * ptr
        if t['cbSizeVft'] not in (size, size - gaps * ptr):
            raise TlbError('%s: unexpected cbSizeVft %d' % (iface, t['cbSizeVft']))
        tlb.put_i16(t['base'] + 0x4e, size)
        log('%s: %d vtable entries, %d reserved' % (iface, IDISPATCH_ENTRIES + len(entries), gaps))


def set_required_flags(tlb, log):
    for name, flags in REQUIRED_FLAGS.items():
        t = tlb.find(name)
        if t['flags'] & flags != flags:
            tlb.put_i32(t['base'] + 0x30, t['flags'] | flags)
            log('%s: flags %#x -> %#x' % (name, t['flags'], t['flags'] | flags))


def dump(tlb, out=sys.stdout):
    w = out.write
    w('lib %s guid=%s ver=%#x lcid=%#x flags=%#x syskind=%d help=%r ntypeinfos=%d\n' % (
        tlb.name(tlb.nameoffset), tlb.guid(tlb.posguid), tlb.version, tlb.lcid,
        tlb.flags, tlb.syskind, tlb.string(tlb.helpstring), tlb.ntypeinfos))
    for t in tlb.typeinfos():
        w('[%d] %-9s %-26s %s flags=%#06x funcs=%d vars=%d impl=%d vft=%d size=%d '
          'dt1=%#x dt2=%#x doc=%r\n' % (
              t['index'], TKIND[t['kind']], t['name'], t['guid'], t['flags'], t['cFuncs'],
              t['cVars'], t['cImplTypes'], t['cbSizeVft'], t['size'], t['datatype1'] & 0xffffffff,
              t['datatype2'] & 0xffffffff, t['doc']))
        if t['kind'] == TKIND_ALIAS:
            w('      alias of %s\n' % tlb.typedesc(t['datatype1']))
        for href, flags in tlb.impltypes(t):
            w('      impl %s flags=%#x\n' % (tlb.href_name(href), flags))
        for f in tlb.functions(t):
            params = ', '.join('%s:%s/%#x%s' % (p['name'], tlb.typedesc(p['type']), p['flags'],
                                                 '=%#x' % (p['default'] & 0xffffffff) if 'default' in p else '')
                               for p in f['params'])
            w('      %-24s memid=%#010x inv=%d fk=%d vtoff=%d ff=%#x ret=%s opt=%d (%s)\n' % (
                f['name'], f['memid'] & 0xffffffff, f['invkind'], f['funckind'], f['vtoff'],
                f['funcflags'], tlb.typedesc(f['rettype']), f['noptargs'], params))
    for pos, g, href in tlb.guid_entries():
        w('guid @%d %s href=%#x\n' % (pos, g, href & 0xffffffff))


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--idl', help='IDL the library was compiled from')
    ap.add_argument('--dump', action='store_true', help='print the library and exit')
    ap.add_argument('--quiet', action='store_true')
    ap.add_argument('input')
    ap.add_argument('output', nargs='?')
    args = ap.parse_args(argv)
    with open(args.input, 'rb') as f:
        tlb = Typelib(f.read())
    if args.dump:
        dump(tlb)
        return 0
    if not args.idl or not args.output:
        ap.error('--idl and an output file are required')
    log = (lambda s: None) if args.quiet else (lambda s: print('patch_typelib: ' + s))
    with open(args.idl, encoding='utf-8') as f:
        idl_text = f.read()
    # widl has been seen to damage the library identifier when the IDL's
    # declarations come in an unlucky order: never ship such a library.
    if tlb.guid(tlb.posguid) != idl_library_uuid(idl_text):
        raise TlbError('library identifier %s differs from the IDL' % tlb.guid(tlb.posguid))
    generated = [t['name'] for t in tlb.typeinfos() if t['name'].startswith('__WIDL_')]
    if generated:
        raise TlbError('types with generated names: %s' % ', '.join(generated))
    tables = idl_function_tables(idl_text)
    reopen_reserved_slots(tlb, tables, log)
    set_required_flags(tlb, log)
    with open(args.output, 'wb') as f:
        f.write(tlb.data)
    return 0


if __name__ == '__main__':
    try:
        sys.exit(main(sys.argv[1:]))
    except TlbError as e:
        print('patch_typelib: error: %s' % e, file=sys.stderr)
        sys.exit(1)
