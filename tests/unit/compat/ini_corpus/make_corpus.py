#!/usr/bin/env python3
"""Writes the corpus of awkward settings files beside this script.

Each file exercises one family of Windows' reading rules (see compat/profile_file.h); the
probe test reads every file with the real profile calls under Wine and with the Linux build and
compares the results. The files are checked in; run this script after changing a case.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
S = '[Settings]\n'


def ansi(text):
    return text.encode('latin-1')


def utf8_bom(text):
    return b'\xef\xbb\xbf' + text.encode('utf-8')


def utf16(text, big_endian=False):
    if big_endian:
        return b'\xfe\xff' + text.encode('utf-16-be')
    return b'\xff\xfe' + text.encode('utf-16-le')


def ints(*lines):
    """A Settings section with one integer text per integer key, in the order the keys are read."""
    keys = ['Minimum time impact SFX', 'Maximum time impact SFX', 'Radio Duck Volume',
            'Enable Tunnel Static', 'Tunnel Radio Duck Volume']
    return ansi(S + ''.join('%s=%s\n' % (k, v) for k, v in zip(keys, lines)))


def floats(*lines):
    """A Settings section with one float text per float key, in the order the keys are read."""
    keys = ['Volume Damage', 'Impact intensity', 'Volume Noise']
    return ansi(S + ''.join('%s=%s\n' % (k, v) for k, v in zip(keys, lines)))


def awkward_bytes():
    """Deterministic noise with some settings text mixed in."""
    state, out = 1, bytearray()
    for i in range(4096):
        state = (state * 214013 + 2531011) % 2**32
        out.append((state >> 16) & 0xFF)
        if i % 512 == 0:
            out += b'\n[Settings]\nVolume Damage=0.5\r'
    return bytes(out)


CORPUS = {
    # Plain files and what a modder writes first.
    'plain.ini': ansi(S + 'Volume Damage=0.8\nImpact intensity=300\nMinimum time impact SFX=1500\n'
                      'Maximum time impact SFX=4000\nRadio Duck Volume=10\nEnable Tunnel Static=0\n'
                      'Volume Noise=0.6\nTunnel Radio Duck Volume=40\n'),
    'empty.ini': b'',
    'no_settings_section.ini': ansi('[Other]\nVolume Damage=0.5\n'),
    'keys_before_any_section.ini': ansi('Volume Damage=0.5\n[Settings]\nVolume Noise=0.25\n'),
    # Separators.
    'separator_colon.ini': ansi(S + 'Radio Duck Volume:50\nVolume Damage : 0.5\n'),
    'separator_equals_twice.ini': ansi(S + 'Volume Damage==0.5\nRadio Duck Volume=1=2\n'),
    'separator_missing_hides_key.ini': ansi(S + 'Radio Duck Volume\nRadio Duck Volume=50\n'
                                                'Volume Noise\n'),
    'separator_space_around.ini': ansi(S + 'Volume Damage \t=\t 0.5 \t\nRadio Duck Volume   =7\n'),
    'empty_name.ini': ansi(S + '=5\n = 6\nVolume Damage=0.5\n'),
    # Comments.
    'comment_after_value.ini': ansi(S + 'Radio Duck Volume= ; default\n'
                                        'Volume Damage=0.5 ; loud\nVolume Noise=0.5;x\n'),
    'comment_lines.ini': ansi(S + ';Radio Duck Volume=50\n#Volume Damage=0.3\n'
                                  '// Volume Noise=0.1\nRadio Duck Volume=60\n'),
    'comment_as_key.ini': ansi(S + '; Volume Damage=0.3\n#Enable Tunnel Static=0\n'),
    # Quotes.
    'quotes_matching.ini': ansi(S + 'Volume Damage="0.5"\nVolume Noise=\'0.25\'\n'
                                    'Radio Duck Volume=" 42 "\nMinimum time impact SFX=""\n'),
    'quotes_unmatched.ini': ansi(S + 'Volume Damage="0.5\nVolume Noise="\'\nImpact intensity=" 7 " x\n'
                                     'Radio Duck Volume="\nTunnel Radio Duck Volume=\'9\n'),
    'quotes_fill_buffer.ini': ansi(S + 'Volume Damage="0.%s"\nVolume Noise="0.%s"\n'
                                       'Impact intensity="0.%s"\n' % ('1' * 61, '1' * 60, '1' * 62)),
    'quotes_fill_integer.ini': ints('"%s12"' % ('0' * 26), '"%s12"' % ('0' * 27),
                                    '"%s12"' % ('0' * 28)),
    # White space and control characters.
    'whitespace_everywhere.ini': ansi('  [ Settings ]  \n\t Volume Damage \t=\t 0.5 \t\n'
                                      '\x0bRadio Duck Volume\x0c=\x0c7\x0b\n'),
    'whitespace_section_tab.ini': ansi('[\tSettings\t]\nVolume Damage=0.5\n'),
    'ctrl_z_is_space.ini': ansi(S + '\x1aVolume Noise=0.2\x1a\nRadio Duck Volume=\x1a7\n'),
    'control_before_value.ini': ansi(S + 'Volume Damage=\x01\x020.5\nRadio Duck Volume=\x01\x027\n'
                                         'Volume Noise="\x1c0.5"\nTunnel Radio Duck Volume="\x1f9"\n'),
    'no_break_space.ini': ansi(S + '\xa0Volume Damage=0.5\nVolume Noise=\xa00.5\n'
                                   'Radio Duck Volume=\xa07\nImpact intensity=5\xa0\n'),
    'space_inside_name.ini': ansi(S + 'Volume  Damage=0.5\nVolume\tNoise=0.5\nradio duck volume=9\n'),
    'nul_in_value.ini': ansi(S + 'Volume Damage=0.5\x009\nRadio Duck Volume=7\x008\n'
                                 'Volume Noise="0.5" \x00 9 \nImpact intensity=0.5 \x00x\n'),
    'nul_in_name.ini': ansi('[Settings\x00x]\nVolume Damage\x00x=0.5\nRadio\x00 Duck Volume=7\n'),
    'nul_line.ini': ansi(S + '\x00\nVolume Damage=0.5\n'),
    # Line endings and long lines.
    'line_end_crlf.ini': ansi('[Settings]\r\nVolume Damage=0.5\r\nRadio Duck Volume=7\r\n'),
    'line_end_lone_cr.ini': ansi('[Settings]\rVolume Damage=0.5\rRadio Duck Volume=7\r'),
    'line_end_mixed.ini': ansi('[Settings]\nVolume Damage=0.5\rRadio Duck Volume=7\n\r'
                               'Volume Noise=\r0.5\n'),
    'line_end_none.ini': ansi('[Settings]\nVolume Damage=0.5'),
    'line_end_cr_in_quotes.ini': ansi(S + 'Volume Damage="\r0.5"\nRadio Duck Volume="\r7"\n'),
    'long_line_before_key.ini': ansi(S + 'x' * 10000 + '\nVolume Damage=0.5\n'),
    'long_value.ini': ansi(S + 'Volume Damage=0.%s\nRadio Duck Volume=%s7\nVolume Noise=0.%s\n'
                           % ('5' * 300, '0' * 250, '1' * 80)),
    'long_value_63.ini': ansi(S + 'Impact intensity=%s55555555\n' % ('0' * 62)),
    'random_bytes.ini': awkward_bytes(),
    # Encodings and byte order marks.
    'utf8_bom.ini': utf8_bom(S + 'Volume Damage=0.5\nVolume Noise=\u00e9 0.5\n'
                                 'Impact intensity=\u20ac\u2013\u00ff\u0080\U0001F600x\n'),
    'utf8_without_bom.ini': ansi(S + 'Volume Damage=0.5\nVolume Noise=\xc3\xa9\n'),
    'utf8_bom_twice.ini': b'\xef\xbb\xbf' + utf8_bom(S + 'Volume Damage=0.5\n'),
    'utf8_bom_inside.ini': ansi(S) + utf8_bom('Volume Damage=0.5\n'),
    'utf8_bom_fullwidth.ini': utf8_bom(S + 'Volume Noise=\uff10.\uff15\nImpact intensity=\u30003\n'),
    'utf16le_bom.ini': utf16(S + 'Volume Damage=0.5\r\nRadio Duck Volume=7\r\n'
                                 'Volume Noise=\u00e9\u4e00x\r\n'),
    'utf16be_bom.ini': utf16(S + 'Volume Damage=0.5\r\nRadio Duck Volume=7\r\n', big_endian=True),
    'utf16le_without_bom.ini': (S + 'Volume Damage=0.5\r\n').encode('utf-16-le'),
    'utf16le_lone_cr.ini': utf16(S + 'Volume Damage=0.5\rRadio Duck Volume=7\r'),
    'utf16le_odd_length.ini': utf16(S + 'Volume Damage=0.5\r\nRadio Duck Volume=7\r\n') + b'\n',
    'utf16le_fullwidth.ini': utf16(S + 'Volume Damage=\uff0b\uff11\uff45\uff12\n'
                                       'Volume Noise=\u3000 0.25\nRadio Duck Volume=\uff17\n'
                                       'Tunnel Radio Duck Volume=\u30007\n'),
    'utf16le_unicode_spaces.ini': utf16(S + '\u3000Volume Damage=0.5\nVolume Noise=0.5\u00a0\n'
                                            'Impact intensity=\u2028 3\u2029\n'
                                            'Radio Duck Volume=\u00857\nTunnel Radio Duck Volume=\ufeff7\n'),
    'bom_only.ini': b'\xff\xfe',
    'utf16le_lone_surrogate.ini': b'\xff\xfe' + (S + 'Volume Damage=\ud800x\n').encode('utf-16-le',
                                                                                  'surrogatepass'),
    'utf8_kelvin_sign_in_name.ini': utf8_bom(S + 'Tunnel Radio Duc\u212a Volume=9\n'),
    'ansi_high_bytes.ini': ansi(S + 'Volume Damage=\x80\x81\x8d\x9f\xff\nVolume Noise=\xe90.5\n'),
    # Look-alikes the A calls hand back for characters code page 1252 lacks. The line is split and
    # trimmed, and quotes removed, before the text is narrowed; the integer call reads the wide text.
    'best_fit_spaces.ini': utf16(S + 'Volume Damage=\u20030.25\nVolume Noise=\u2000\u20060.5\u2005\n'
                                     'Impact intensity=\u20077\nRadio Duck Volume=\u20027\n'
                                     'Tunnel Radio Duck Volume=\u200a7\n'
                                     'Minimum time impact SFX="\u2004"\n'),
    'best_fit_signs.ini': utf16(S + 'Volume Damage=\u22120.5\nVolume Noise=\u2010.25\n'
                                    'Impact intensity=\u2500\u2212 3\n'
                                    'Minimum time impact SFX=\u22125\nMaximum time impact SFX=\u22127\n'
                                    'Radio Duck Volume=\u2011 7\nTunnel Radio Duck Volume=\u25507\n'
                                    'Enable Tunnel Static=\u2213\n'),
    'best_fit_digits.ini': utf16(S + 'Volume Damage=\u2080.\u2085\n'
                                     'Impact intensity=\u2081\u2082\u2083.\u2074\u2075\u2076'
                                     '\u2077\u2078\u2089\u00b2\nVolume Noise=\u221e\u2070\n'
                                     'Radio Duck Volume=\u2087\nTunnel Radio Duck Volume=4\u2074\n'
                                     'Enable Tunnel Static=\u2080\n'),
    'best_fit_letters.ini': utf16(S + 'Volume Damage=1\u212f1\nVolume Noise=2\u010e-1\n'
                                      'Impact intensity=\u0129\u0148f\n'
                                      'Radio \u010euck Volume=9\nTunnel Radio Duck Volume=0\u1e8b10\n'
                                      'Minimum time impact SFX=\u212a\u0101\u01b6\n'),
    'best_fit_punctuation.ini': utf16('\uff3bSettings\uff3d\nVolume Damage=0.1\n' + S +
                                      'Volume Damage\u22610.5\nVolume Noise=\uff020.5\uff02\n'
                                      'Impact intensity=\uff0e5\u02bc\nRadio Duck Volume\uff1d9\n'
                                      'Tunnel Radio Duck Volume=\u201c7\u201d\n'),
    # Section headers.
    'section_text_after.ini': ansi('[Settings] junk\nVolume Damage=0.5\n'),
    'section_last_bracket.ini': ansi('[Settings]x]\nVolume Damage=0.5\n[Settings]]\nVolume Noise=0.5\n'
                                     '[Set]tings]\nRadio Duck Volume=7\n'),
    'section_unclosed.ini': ansi('[Settings]\n[Other\nVolume Damage=0.5\n'),
    'section_unclosed_first.ini': ansi('[Settings\nVolume Damage=0.5\n'),
    'section_empty_name.ini': ansi('[]\nVolume Damage=0.5\n[Settings]\n'),
    'section_inner_space.ini': ansi('[Sett ings]\nVolume Damage=0.5\n[settings]\nVolume Noise=0.25\n'),
    # Duplicate sections and keys.
    'duplicate_section.ini': ansi('[Settings]\nVolume Damage=0.5\n[Other]\n[SETTINGS]\n'
                                  'Volume Noise=0.5\nVolume Damage=0.25\n'),
    'duplicate_section_empty_first.ini': ansi('[Settings]\n[settings]\nVolume Damage=0.5\n'),
    'duplicate_key.ini': ansi(S + 'volume damage=0.5\nVOLUME DAMAGE=0.25\nRadio Duck Volume=1\n'
                                  'Radio Duck Volume=2\n'),
    # Integer text.
    'int_signs.ini': ints('-5', '+8', '-0', '- 5', '+-5'),
    'int_prefixes.ini': ints('0x20', '0X20', '0b101', '0o17', '010'),
    'int_prefix_edges.ini': ints('0x', '0x1g', '0B1', '+0x10', '0x-5'),
    'int_trailing_text.ini': ints('12abc', '12.9', '1e3', '1,000', '1 000'),
    'int_overflow.ini': ints('4294967295', '4294967296', '4294967301', '99999999999', '-99999999999'),
    'int_long.ini': ints('0' * 28 + '7', '0' * 29 + '7', '1' * 40, '0x' + 'f' * 20, '0b' + '1' * 40),
    'int_words.ini': ints('abc', 'true', 'on', '\xb2', 'yes'),
    'int_empty.ini': ints('', '  ', '""', "''", ' "" '),
    'int_volumes_wrap.ini': ints('7000', '2000', '300', '7', '256'),
    # Float text.
    'float_plain_forms.ini': floats('.5', '5.', '-.5'),
    'float_signs.ini': floats('-0', '+.5', '-0.0'),
    'float_exponent_marks.ini': floats('1d3', '1D-1', '1.5d2'),
    'float_exponent_edges.ini': floats('1e', '1e+', '2D+1x'),
    'float_words.ini': floats('inf', '-Infinity', 'nan'),
    'float_words_upper.ini': floats('INF', 'NaN', 'nan(123)'),
    'float_hexadecimal.ini': floats('0x1p3', '0x10', '0X1A'),
    'float_commas.ini': floats('1,5', '1 5', '0,25'),
    'float_overflow.ini': floats('1e39', '3.4028236e38', '-1e309'),
    'float_largest.ini': floats('3.4028235e38', '1e5000', '9' * 63),
    'float_underflow.ini': floats('1e-46', '1e-310', '-1e-400'),
    'float_smallest.ini': floats('1.4e-45', '7e-46', '1e-45'),
    'float_rounding.ini': floats('16777217', '1.000000059604644775390625', '0.1'),
    'float_long_digits.ini': floats('0.' + '9' * 61, '123456789012345678901234567890e-20',
                                    '1e+0000000000000000000000005'),
    'float_empty_and_junk.ini': floats('', '.e1', '0.5xyz'),
}


def main():
    for name in os.listdir(HERE):
        if name.endswith('.ini') and name not in CORPUS:
            os.remove(os.path.join(HERE, name))
    for name, data in CORPUS.items():
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
